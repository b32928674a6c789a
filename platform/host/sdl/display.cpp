#include "platform/host/display.h"

#include <SDL.h>

namespace {

void sdl_desktop_mode(int *width, int *height, int *bits) {
    *width = 640;
    *height = 480;
    *bits = 32;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        *width = mode.w;
        *height = mode.h;
    }
    // The emulated desktop is 32 bits whatever the window system reports: its 24-bit
    // visuals store pixels in 32 bits too.
}

} // namespace

const host_display_api host_display = {
    sdl_desktop_mode,
};
