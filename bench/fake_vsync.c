/* A display with a vsync that really waits, for a machine without a monitor: preloaded into
 * an SDL program under Xvfb, it makes every SDL_RenderPresent return at the next vertical
 * blank of a display refreshing FAKE_VSYNC_MILLIHERTZ times in a thousand seconds (blanks at
 * whole periods of the monotonic clock), reports that rate as the display mode's, and says
 * the renderer has vsync, until the program turns it off with SDL_RenderSetVSync. At exit
 * it prints how many presents it saw, and how many waited.
 * Built once per rate (bench/CMakeLists.txt): fake_vsync_144000.so and so on. */
#define _GNU_SOURCE
#include <SDL.h>

#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int vsync_on = 1;
static long presents, waited;

static int64_t now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static void report(void) {
    fprintf(stderr, "fake_vsync %d mHz: %ld presents, %ld waited for a blank\n",
            FAKE_VSYNC_MILLIHERTZ, presents, waited);
}

void SDL_RenderPresent(SDL_Renderer *renderer) {
    static void (*real)(SDL_Renderer *);
    if (!real) {
        real = (void (*)(SDL_Renderer *))dlsym(RTLD_NEXT, "SDL_RenderPresent");
        atexit(report);
    }
    real(renderer);
    ++presents;
    if (!vsync_on)
        return;
    /* The first blank after now. */
    const __int128 scale = (__int128)1000000000 * 1000;
    int64_t t = now_ns();
    __int128 k = (__int128)t * FAKE_VSYNC_MILLIHERTZ / scale + 1;
    int64_t blank = (int64_t)(k * scale / FAKE_VSYNC_MILLIHERTZ);
    struct timespec until = {(time_t)(blank / 1000000000), (long)(blank % 1000000000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL);
    ++waited;
}

int SDL_RenderSetVSync(SDL_Renderer *renderer, int vsync) {
    (void)renderer;
    vsync_on = vsync != 0;
    return 0;
}

int SDL_GetRendererInfo(SDL_Renderer *renderer, SDL_RendererInfo *info) {
    static int (*real)(SDL_Renderer *, SDL_RendererInfo *);
    if (!real)
        real = (int (*)(SDL_Renderer *, SDL_RendererInfo *))dlsym(RTLD_NEXT, "SDL_GetRendererInfo");
    int result = real(renderer, info);
    if (result == 0 && vsync_on)
        info->flags |= SDL_RENDERER_PRESENTVSYNC;
    return result;
}

int SDL_GetCurrentDisplayMode(int display, SDL_DisplayMode *mode) {
    static int (*real)(int, SDL_DisplayMode *);
    if (!real)
        real = (int (*)(int, SDL_DisplayMode *))dlsym(RTLD_NEXT, "SDL_GetCurrentDisplayMode");
    int result = real(display, mode);
    if (result == 0) /* SDL 2 reports whole hertz */
        mode->refresh_rate = (FAKE_VSYNC_MILLIHERTZ + 500) / 1000;
    return result;
}
