// The real display host: SDL windows, keyboard and message boxes. Full screen shows the
// emulated mode as a 4:3 monitor would, filling the height and centred on black, scaled
// sharply: nearest-neighbour to the largest whole multiple, then linear to the final size.
#include "platform/host/display.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

namespace {

struct sdl_window {
    SDL_Window *window;
    SDL_Renderer *renderer;
    SDL_Texture *frame; // the emulated surface, as it is
    SDL_Texture *sharp; // the frame at a whole multiple of its size
    int frame_w, frame_h;
    Uint32 frame_format;
    int sharp_w, sharp_h;
    bool vsync;         // the renderer waits for the vertical blank
    int quick_presents; // presents in a row that returned far too soon for a vsync
    Uint64 deadline;    // of the 60 Hz pacer
};

std::vector<sdl_window *> windows;

bool video_ready() {
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // Where there is no display SDL falls back to a driver that shows nothing; that is no
    // display to the viewer, unless it was asked for by name.
    const char *driver = SDL_GetCurrentVideoDriver();
    if (!SDL_getenv("SDL_VIDEODRIVER") && driver &&
        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

sdl_window *find(int id) {
    for (sdl_window *w : windows)
        if (static_cast<int>(SDL_GetWindowID(w->window)) == id)
            return w;
    return nullptr;
}

void sdl_desktop_mode(int *width, int *height, int *bits) {
    *width = 640;
    *height = 480;
    *bits = 32;
    if (!video_ready())
        return;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        *width = mode.w;
        *height = mode.h;
    }
    // The emulated desktop is 32 bits whatever the window system reports: its 24-bit
    // visuals store pixels in 32 bits too.
}

// Every depth is emulated in memory and converted for the window system when shown.
int sdl_accepts_mode(int width, int height, int bits) {
    if (width <= 0 || height <= 0)
        return 0;
    return bits == 32 || bits == 24 || bits == 16 || bits == 15 || bits == 8;
}

int sdl_window_open(const char *title, int x, int y, int w, int h, int flags) {
    if (!video_ready())
        return 0;
    Uint32 window_flags = SDL_WINDOW_SHOWN;
    if (flags & host_window_decorated)
        window_flags |= SDL_WINDOW_RESIZABLE;
    else
        window_flags |= SDL_WINDOW_BORDERLESS;
    if (flags & host_window_covers_screen) {
        window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        // Made as large as the desktop too, for a window system without a window manager
        // to carry out the full-screen request.
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(0, &bounds) == 0) {
            x = bounds.x;
            y = bounds.y;
            w = bounds.w;
            h = bounds.h;
        }
    }
    SDL_Window *window = SDL_CreateWindow(title, x, y, w > 0 ? w : 1, h > 0 ? h : 1, window_flags);
    if (!window)
        return 0;
    SDL_Renderer *renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer)
        renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) {
        SDL_DestroyWindow(window);
        return 0;
    }
    SDL_RendererInfo info;
    bool vsync =
        SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    windows.push_back(new sdl_window{window, renderer, nullptr, nullptr, 0, 0, 0, 0, 0, vsync, 0,
                                     SDL_GetPerformanceCounter()});
    // While a display is open the screen saver stays off.
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(window);
    return static_cast<int>(SDL_GetWindowID(window));
}

void sdl_window_close(int id) {
    sdl_window *w = find(id);
    if (!w)
        return;
    if (w->frame)
        SDL_DestroyTexture(w->frame);
    if (w->sharp)
        SDL_DestroyTexture(w->sharp);
    SDL_DestroyRenderer(w->renderer);
    SDL_DestroyWindow(w->window);
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (windows[i] == w)
            windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(i));
    delete w;
    if (windows.empty())
        SDL_EnableScreenSaver();
}

void sdl_window_client(int id, host_rect *client) {
    sdl_window *w = find(id);
    if (!w)
        return;
    SDL_GetWindowPosition(w->window, &client->x, &client->y);
    SDL_GetWindowSize(w->window, &client->w, &client->h);
}

void sdl_window_fullscreen(int id, int on) {
    sdl_window *w = find(id);
    if (!w)
        return;
    bool is_on = (SDL_GetWindowFlags(w->window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (is_on == (on != 0))
        return;
    SDL_SetWindowFullscreen(w->window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    SDL_Rect bounds;
    if (on && SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(w->window), &bounds) == 0) {
        SDL_SetWindowPosition(w->window, bounds.x, bounds.y);
        SDL_SetWindowSize(w->window, bounds.w, bounds.h);
    }
}

Uint32 texture_format(int bits) {
    switch (bits) {
    case 32:
        return SDL_PIXELFORMAT_RGB888;
    case 24:
        return SDL_PIXELFORMAT_BGR24; // blue, green, red in memory
    case 16:
        return SDL_PIXELFORMAT_RGB565;
    case 15:
        return SDL_PIXELFORMAT_RGB555;
    default:
        return SDL_PIXELFORMAT_UNKNOWN;
    }
}

// Waits for the next vertical blank where the renderer does not: a 60 Hz pace, sleeping.
void pace(sdl_window *w) {
    Uint64 now = SDL_GetPerformanceCounter();
    Uint64 period = SDL_GetPerformanceFrequency() / 60;
    if (w->vsync) {
        // A vsync that returns at once (no display to wait for, as under a virtual X
        // server) is not one; after a run of those the pacer takes over.
        w->quick_presents = now - w->deadline < period / 4 ? w->quick_presents + 1 : 0;
        if (w->quick_presents > 30)
            w->vsync = false;
        w->deadline = now;
        return;
    }
    Uint64 next = w->deadline + period;
    if (next + period < now) // far behind: start afresh rather than rush to catch up
        next = now;
    if (next > now)
        SDL_Delay(static_cast<Uint32>((next - now) * 1000 / SDL_GetPerformanceFrequency()));
    w->deadline = next;
}

bool prepare_textures(sdl_window *w, const host_frame *frame, int scale) {
    Uint32 format = texture_format(frame->bits);
    if (format == SDL_PIXELFORMAT_UNKNOWN)
        return false;
    if (!w->frame || w->frame_w != frame->width || w->frame_h != frame->height ||
        w->frame_format != format) {
        if (w->frame)
            SDL_DestroyTexture(w->frame);
        w->frame = SDL_CreateTexture(w->renderer, format, SDL_TEXTUREACCESS_STREAMING, frame->width,
                                     frame->height);
        if (!w->frame)
            return false;
        SDL_SetTextureScaleMode(w->frame, SDL_ScaleModeNearest);
        w->frame_w = frame->width;
        w->frame_h = frame->height;
        w->frame_format = format;
    }
    int sharp_w = frame->width * scale, sharp_h = frame->height * scale;
    if (SDL_RenderTargetSupported(w->renderer) &&
        (!w->sharp || w->sharp_w != sharp_w || w->sharp_h != sharp_h)) {
        if (w->sharp)
            SDL_DestroyTexture(w->sharp);
        w->sharp = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET,
                                     sharp_w, sharp_h);
        if (w->sharp)
            SDL_SetTextureScaleMode(w->sharp, SDL_ScaleModeLinear);
        w->sharp_w = sharp_w;
        w->sharp_h = sharp_h;
    }
    return SDL_UpdateTexture(w->frame, nullptr, frame->pixels, frame->pitch) == 0;
}

void sdl_present(int id, const host_frame *frame, const host_rect *dst) {
    sdl_window *w = find(id);
    if (!w || frame->width <= 0 || frame->height <= 0)
        return;
    int out_w = 0, out_h = 0;
    SDL_GetRendererOutputSize(w->renderer, &out_w, &out_h);
    SDL_Rect target;
    if (!dst) {
        // A 4:3 monitor's picture, as high as the screen, centred.
        target.h = out_h;
        target.w = out_h * 4 / 3;
        if (target.w > out_w) {
            target.w = out_w;
            target.h = out_w * 3 / 4;
        }
        target.x = (out_w - target.w) / 2;
        target.y = (out_h - target.h) / 2;
    } else {
        // Client coordinates to the renderer's pixels, which differ on high-density screens.
        int win_w = 1, win_h = 1;
        SDL_GetWindowSize(w->window, &win_w, &win_h);
        target.x = dst->x * out_w / (win_w > 0 ? win_w : 1);
        target.y = dst->y * out_h / (win_h > 0 ? win_h : 1);
        target.w = dst->w * out_w / (win_w > 0 ? win_w : 1);
        target.h = dst->h * out_h / (win_h > 0 ? win_h : 1);
    }
    int scale = target.w / frame->width < target.h / frame->height ? target.w / frame->width
                                                                   : target.h / frame->height;
    if (scale < 1)
        scale = 1;

    SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
    if (prepare_textures(w, frame, scale)) {
        if (w->sharp && SDL_SetRenderTarget(w->renderer, w->sharp) == 0) {
            SDL_RenderCopy(w->renderer, w->frame, nullptr, nullptr);
            SDL_SetRenderTarget(w->renderer, nullptr);
            SDL_RenderClear(w->renderer);
            SDL_RenderCopy(w->renderer, w->sharp, nullptr, &target);
        } else {
            SDL_RenderClear(w->renderer);
            SDL_RenderCopy(w->renderer, w->frame, nullptr, &target);
        }
    } else {
        // A palette-indexed surface has no colours to show: black.
        SDL_RenderClear(w->renderer);
    }
    SDL_RenderPresent(w->renderer);
    pace(w);
}

host_key key_of(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return static_cast<host_key>(host_key_a + (code - SDL_SCANCODE_A));
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9)
        return static_cast<host_key>(host_key_0 + 1 + (code - SDL_SCANCODE_1));
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12)
        return static_cast<host_key>(host_key_f1 + (code - SDL_SCANCODE_F1));
    switch (code) {
    case SDL_SCANCODE_0:
        return host_key_0;
    case SDL_SCANCODE_ESCAPE:
        return host_key_escape;
    case SDL_SCANCODE_RETURN:
        return host_key_return;
    case SDL_SCANCODE_SPACE:
        return host_key_space;
    case SDL_SCANCODE_TAB:
        return host_key_tab;
    case SDL_SCANCODE_BACKSPACE:
        return host_key_backspace;
    case SDL_SCANCODE_LEFT:
        return host_key_left;
    case SDL_SCANCODE_UP:
        return host_key_up;
    case SDL_SCANCODE_RIGHT:
        return host_key_right;
    case SDL_SCANCODE_DOWN:
        return host_key_down;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return host_key_shift;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        return host_key_control;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        return host_key_alt;
    default:
        return host_key_none;
    }
}

int sdl_poll_event(host_event *event) {
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT: // also what SDL makes of SIGINT and SIGTERM
            if (!windows.empty()) {
                *event = {host_event_close, static_cast<int>(SDL_GetWindowID(windows[0]->window)),
                          0, 0};
                return 1;
            }
            break;
        case SDL_WINDOWEVENT: {
            int id = static_cast<int>(e.window.windowID);
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                *event = {host_event_close, id, 0, 0};
                return 1;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                *event = {host_event_focus, id, 1, 0};
                return 1;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                *event = {host_event_focus, id, 0, 0};
                return 1;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                *event = {host_event_expose, id, 0, 0};
                return 1;
            default:
                break;
            }
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int id = static_cast<int>(e.key.windowID);
            bool down = e.type == SDL_KEYDOWN;
            // Alt+F4 closes, also where no window manager does it.
            if (down && e.key.keysym.scancode == SDL_SCANCODE_F4 && (e.key.keysym.mod & KMOD_ALT)) {
                *event = {host_event_close, id, 0, 0};
                return 1;
            }
            host_key key = key_of(e.key.keysym.scancode);
            if (key != host_key_none) {
                *event = {host_event_key, id, key, down ? 1 : 0};
                return 1;
            }
            break;
        }
        default:
            break;
        }
    }
    return 0;
}

void sdl_show_cursor(int visible) {
    if (video_ready())
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

// SDL can keep the screen saver off but cannot start one or power the monitor down.
void sdl_screen_saver(int) {}

void sdl_message_box(int id, const char *text, const char *caption, host_box_kind kind) {
    const char *title = caption ? caption : "Error";
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if (kind == host_box_error)
        flags = SDL_MESSAGEBOX_ERROR;
    else if (kind == host_box_warning)
        flags = SDL_MESSAGEBOX_WARNING;
    sdl_window *w = find(id);
    if (!w && !windows.empty())
        w = windows.back();
    // A box cannot be seen over an exclusive full screen: step out of it meanwhile.
    bool was_fullscreen = w && (SDL_GetWindowFlags(w->window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (was_fullscreen)
        SDL_SetWindowFullscreen(w->window, 0);
    bool shown =
        video_ready() && SDL_ShowSimpleMessageBox(flags, title, text, w ? w->window : nullptr) == 0;
    if (was_fullscreen)
        SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!shown)
        std::fprintf(stderr, "%s: %s\n", title, text);
}

} // namespace

const host_display_api host_display = {
    .desktop_mode = sdl_desktop_mode,
    .accepts_mode = sdl_accepts_mode,
    .window_open = sdl_window_open,
    .window_close = sdl_window_close,
    .window_client = sdl_window_client,
    .window_fullscreen = sdl_window_fullscreen,
    .present = sdl_present,
    .poll_event = sdl_poll_event,
    .show_cursor = sdl_show_cursor,
    .screen_saver = sdl_screen_saver,
    .message_box = sdl_message_box,
};
