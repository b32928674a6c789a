// The frame-buffer display: one window, one DirectDraw display, full screen or windowed.
#include "fb/fb_internal.h"

#include <cstring>

fb_state_record fb_state;

namespace {

// DirectDraw is not linked: fb_open finds this in ddraw.dll.
typedef HRESULT(WINAPI *direct_draw_create_fn)(GUID *driver, LPDIRECTDRAW *ddraw, IUnknown *outer);

const char class_name[] = "mirvex";

void empty_desc(DDSURFACEDESC *desc) {
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = sizeof(*desc);
}

// Windowed presentation: the back surface stretched over the client area.
void blit_to_window() {
    POINT origin = {0, 0};
    ClientToScreen(fb_state.window, &origin);
    RECT target;
    GetClientRect(fb_state.window, &target);
    OffsetRect(&target, origin.x, origin.y);
    RECT source;
    SetRect(&source, 0, 0, fb_state.width, fb_state.height);
    fb_state.primary->Blt(&target, fb_state.back, &source, DDBLT_WAIT, NULL);
}

// Two rounds, so that both buffers of the flip chain start black.
void clear_flip_chain() {
    for (int round = 0; round < 2; ++round) {
        fb_state.primary->Restore();
        DDSURFACEDESC desc;
        empty_desc(&desc);
        // A failed lock gives no memory to write to; the flip still runs.
        if (SUCCEEDED(fb_state.back->Lock(NULL, &desc, DDLOCK_WAIT, NULL))) {
            std::size_t row_bytes = static_cast<std::size_t>(fb_state.width) * 4;
            if (desc.lPitch > 0 && row_bytes > static_cast<std::size_t>(desc.lPitch))
                row_bytes = static_cast<std::size_t>(desc.lPitch);
            unsigned char *row = static_cast<unsigned char *>(desc.lpSurface);
            for (int y = 0; y < fb_state.height; ++y, row += desc.lPitch)
                std::memset(row, 0, row_bytes);
            fb_state.back->Unlock(desc.lpSurface);
        }
        fb_state.primary->Flip(NULL, DDFLIP_WAIT);
    }
}

int open_fullscreen_surfaces() {
    if (FAILED(fb_state.ddraw->SetCooperativeLevel(fb_state.window,
                                                   DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return 0;
    ShowCursor(FALSE);

    DDSURFACEDESC desc;
    empty_desc(&desc);
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    if (FAILED(fb_state.ddraw->CreateSurface(&desc, &fb_state.primary, NULL)))
        return 0;

    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(fb_state.primary->GetAttachedSurface(&caps, &fb_state.back)))
        return 0;

    clear_flip_chain();
    return 1;
}

int open_windowed_surfaces() {
    if (FAILED(fb_state.ddraw->SetCooperativeLevel(fb_state.window, DDSCL_NORMAL)))
        return 0;

    DDSURFACEDESC desc;
    empty_desc(&desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(fb_state.ddraw->CreateSurface(&desc, &fb_state.primary, NULL)))
        return 0;

    empty_desc(&desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(fb_state.width);
    desc.dwHeight = static_cast<DWORD>(fb_state.height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (FAILED(fb_state.ddraw->CreateSurface(&desc, &fb_state.back, NULL)))
        return 0;

    // Every later blit goes through the clipper, so without one the display is unusable.
    if (FAILED(fb_state.ddraw->CreateClipper(0, &fb_state.clipper, NULL)) || !fb_state.clipper)
        return 0;
    fb_state.clipper->SetHWnd(0, fb_state.window);
    fb_state.primary->SetClipper(fb_state.clipper);
    return 1;
}

} // namespace

int fb_open(const char *title, int width, int height, int fullscreen) {
    fb_state.instance = GetModuleHandleA(NULL);
    fb_state.fullscreen = fullscreen;
    fb_state.width = width;
    fb_state.height = height;

    fb_state.ddraw_module = LoadLibraryA("ddraw.dll");
    if (!fb_state.ddraw_module)
        return 0;
    FARPROC proc = GetProcAddress(fb_state.ddraw_module, "DirectDrawCreate");
    if (!proc)
        return 0;
    // Through the generic function type, which converts to any other without complaint.
    direct_draw_create_fn create =
        reinterpret_cast<direct_draw_create_fn>(reinterpret_cast<void (*)()>(proc));
    if (FAILED(create(NULL, &fb_state.ddraw, NULL)))
        return 0;

    RECT rect = {0, 0, width, height};
    DWORD style;
    if (fullscreen) {
        // The mode is set before any window exists, trying the deepest first.
        if (FAILED(fb_state.ddraw->SetDisplayMode(width, height, 32)) &&
            FAILED(fb_state.ddraw->SetDisplayMode(width, height, 24)) &&
            FAILED(fb_state.ddraw->SetDisplayMode(width, height, 16)))
            return 0;
        style = WS_POPUP | WS_VISIBLE;
    } else {
        AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
        style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    }

    WNDCLASSA window_class;
    std::memset(&window_class, 0, sizeof(window_class));
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = fb_window_proc;
    window_class.hInstance = fb_state.instance;
    window_class.hCursor = LoadCursorA(NULL, IDC_ARROW);
    window_class.lpszClassName = class_name;
    RegisterClassA(&window_class);

    fb_state.window = CreateWindowExA(0, class_name, title, style, 0, 0, rect.right - rect.left,
                                      rect.bottom - rect.top, NULL, NULL, fb_state.instance, NULL);
    if (!fb_state.window)
        return 0;

    if (!(fullscreen ? open_fullscreen_surfaces() : open_windowed_surfaces()))
        return 0;

    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(format);
    fb_state.primary->GetPixelFormat(&format);
    if (!(format.dwFlags & DDPF_RGB))
        return 0;
    fb_state.converter = fb_select_converter(static_cast<int>(format.dwRGBBitCount));
    if (!fb_state.converter)
        return 0;

    fb_state.active = 1;
    return 1;
}

void fb_update(const std::uint32_t *pixels) {
    // Nothing to present into before a successful open.
    if (!fb_state.back || !fb_state.converter)
        return;
    if (!fb_state.active && fb_state.fullscreen == 1)
        return;

    if (fb_state.primary->IsLost() != DD_OK)
        fb_state.primary->Restore();
    if (!fb_state.fullscreen && fb_state.back->IsLost() != DD_OK)
        fb_state.back->Restore();

    DDSURFACEDESC desc;
    empty_desc(&desc);
    // Without a lock there is nowhere to write: skip this frame's rows and its unlock.
    if (SUCCEEDED(fb_state.back->Lock(NULL, &desc, DDLOCK_WAIT, NULL))) {
        unsigned char *row = static_cast<unsigned char *>(desc.lpSurface);
        const std::uint32_t *source = pixels;
        for (int y = 0; y < fb_state.height; ++y) {
            fb_state.converter(row, source, fb_state.width);
            row += desc.lPitch;
            source += fb_state.width;
        }
        fb_state.back->Unlock(desc.lpSurface);
    }

    if (fb_state.fullscreen)
        fb_state.primary->Flip(NULL, DDFLIP_WAIT);
    else
        blit_to_window();
}

int fb_pump() {
    int quit = 0;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_QUIT)
            quit = 1;
    }
    if (GetAsyncKeyState(VK_ESCAPE))
        return 1;
    return quit;
}

void fb_close() {
    if (fb_state.primary) {
        fb_state.primary->Release();
        fb_state.primary = NULL;
    }
    if (!fb_state.fullscreen) {
        if (fb_state.back) {
            fb_state.back->Release();
            fb_state.back = NULL;
        }
        if (fb_state.clipper) {
            fb_state.clipper->Release();
            fb_state.clipper = NULL;
        }
    }
    // The full-screen back buffer went with its flip chain.
    fb_state.back = NULL;
    if (fb_state.ddraw) {
        fb_state.ddraw->Release();
        fb_state.ddraw = NULL;
    }
    FreeLibrary(fb_state.ddraw_module);
    DestroyWindow(fb_state.window);
    UnregisterClassA(class_name, fb_state.instance);
    ShowCursor(TRUE);
    fb_state.ddraw_module = NULL;
    fb_state.window = NULL;
    fb_state.converter = NULL;
    fb_state.active = 0;
}

LRESULT CALLBACK fb_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        if (fb_state.primary && fb_state.back) {
            if (fb_state.fullscreen)
                fb_state.primary->Flip(NULL, DDFLIP_WAIT);
            else
                blit_to_window();
        }
        break;
    case WM_CLOSE:
        // The window stays until fb_close; the caller's loop sees the quit.
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATEAPP:
        fb_state.active = static_cast<std::int32_t>(wparam);
        break;
    case WM_SYSCOMMAND:
        if (wparam == SC_SCREENSAVE || wparam == SC_MONITORPOWER)
            return 0;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

pixel_converter fb_select_converter(int bit_count) {
    if (bit_count == 32)
        return copy_pixels32;
    if (bit_count == 24)
        return convert_rgb888;
    if (bit_count == 16)
        return convert_rgb565;
    if (bit_count == 15)
        return convert_rgb555;
    return NULL;
}
