// DirectDraw's display object on an emulated display adapter: display modes, the
// cooperative level (exclusive full screen or a window on the desktop), and what it makes:
// surfaces and clippers (ddraw_surface.cpp). What reaches the screen goes to the host.
#include "platform/win32/ddraw_objects.h"
#include "platform/win32/faults.h"
#include "platform/win32/services.h"

#include <algorithm>

namespace {

ddraw_object *exclusive_owner = nullptr;
win32_ddraw_counts counts = {};

} // namespace

win32_ddraw_counts &ddraw_counts() {
    return counts;
}

win32_ddraw_counts win32_ddraw_count() {
    return counts;
}

void win32_ddraw_count_reset() {
    counts = {0, 0, 0, 0, counts.live_objects};
}

pixel_layout layout_for(int bits) {
    switch (bits) {
    case 32:
        return {32, 4, DDPF_RGB, 0x00FF0000, 0x0000FF00, 0x000000FF};
    case 24:
        return {24, 3, DDPF_RGB, 0x00FF0000, 0x0000FF00, 0x000000FF};
    case 16:
        return {16, 2, DDPF_RGB, 0xF800, 0x07E0, 0x001F};
    case 15:
        // Reported as 15 bits, so that its masks are not mistaken for 5-6-5.
        return {15, 2, DDPF_RGB, 0x7C00, 0x03E0, 0x001F};
    case 8:
        return {8, 1, DDPF_PALETTEINDEXED8, 0, 0, 0};
    default:
        return {0, 0, 0, 0, 0, 0};
    }
}

ddraw_object::ddraw_object() {
    ++counts.live_objects;
}

ddraw_object::~ddraw_object() {
    // Releasing the display object takes everything it made with it.
    while (!surfaces.empty()) {
        surface_object *s = surfaces.back();
        surfaces.pop_back();
        s->owner = nullptr;
        delete s;
    }
    while (!clippers.empty()) {
        clipper_object *c = clippers.back();
        clippers.pop_back();
        c->owner = nullptr;
        delete c;
    }
    leave_exclusive();
    if (mode_set)
        screen_restore_desktop_mode();
    --counts.live_objects;
}

HRESULT STDMETHODCALLTYPE ddraw_object::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *clipper,
                                                      IUnknown *outer) {
    if (!clipper)
        return DDERR_INVALIDPARAMS;
    *clipper = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (flags != 0)
        return DDERR_INVALIDPARAMS;
    if (win32_should_fail(win32_fault::create_clipper))
        return DDERR_GENERIC;
    clipper_object *c = new clipper_object(this);
    clippers.push_back(c);
    *clipper = c;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE ddraw_object::CreateSurface(LPDDSURFACEDESC desc,
                                                      LPDIRECTDRAWSURFACE *surface,
                                                      IUnknown *outer) {
    if (!surface)
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    if (level == 0)
        return DDERR_NOCOOPERATIVELEVELSET;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    screen_mode current = screen_current_mode();

    surface_object *created;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (primary_exists())
            return DDERR_PRIMARYSURFACEALREADYEXISTS;
        // The primary surface is the screen: its size and format are the mode's.
        if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        pixel_layout layout = layout_for(current.bits);
        if (caps & DDSCAPS_FLIP) {
            if (this != exclusive_owner)
                return DDERR_NOEXCLUSIVEMODE;
            // A flip chain of exactly one back buffer is what this adapter offers.
            if (!(caps & DDSCAPS_COMPLEX) || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
                desc->dwBackBufferCount != 1)
                return DDERR_INVALIDPARAMS;
            created = new surface_object(this, caps | DDSCAPS_FRONTBUFFER, current.width,
                                         current.height, layout, true);
            DWORD back_caps =
                (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
            created->back =
                new surface_object(this, back_caps, current.width, current.height, layout, true);
            created->back->front = created;
        } else {
            // The desktop: shown by the host, not held in memory here.
            created = new surface_object(this, caps, current.width, current.height, layout, false);
        }
    } else {
        if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth == 0 ||
            desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
            return DDERR_INVALIDPARAMS;
        pixel_layout layout = layout_for(current.bits);
        if (desc->dwFlags & DDSD_PIXELFORMAT) {
            const DDPIXELFORMAT &pf = desc->ddpfPixelFormat;
            layout = layout_for(static_cast<int>(pf.dwRGBBitCount));
            if (layout.bits == 0 || (pf.dwFlags & layout.flags) != layout.flags)
                return DDERR_INVALIDPIXELFORMAT;
        }
        if (layout.bits == 0)
            return DDERR_INVALIDPIXELFORMAT;
        created = new surface_object(this, caps, static_cast<int>(desc->dwWidth),
                                     static_cast<int>(desc->dwHeight), layout, true);
    }
    surfaces.push_back(created);
    *surface = created;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE ddraw_object::SetCooperativeLevel(HWND hwnd, DWORD flags) {
    if (flags & DDSCL_EXCLUSIVE) {
        if (!(flags & DDSCL_FULLSCREEN) || user_host_window(hwnd) == 0)
            return DDERR_INVALIDPARAMS;
        if (exclusive_owner && exclusive_owner != this)
            return DDERR_EXCLUSIVEMODEALREADYSET;
        exclusive_owner = this;
        window = hwnd;
        level = flags;
        active = true;
        host_display.window_fullscreen(user_host_window(hwnd), 1);
        return DD_OK;
    }
    if (flags & DDSCL_NORMAL) {
        leave_exclusive();
        window = hwnd;
        level = flags;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT STDMETHODCALLTYPE ddraw_object::SetDisplayMode(DWORD width, DWORD height, DWORD bits) {
    if (exclusive_owner && exclusive_owner != this)
        return DDERR_NOEXCLUSIVEMODE;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        layout_for(static_cast<int>(bits)).bits == 0 ||
        !host_display.accepts_mode(static_cast<int>(width), static_cast<int>(height),
                                   static_cast<int>(bits)))
        return DDERR_UNSUPPORTEDMODE;
    mode = {static_cast<int>(width), static_cast<int>(height), static_cast<int>(bits)};
    mode_set = true;
    screen_set_mode(mode);
    // Whatever was on the old mode's surfaces is gone.
    for (surface_object *s : surfaces)
        s->mark_lost();
    return DD_OK;
}

void ddraw_object::activation_changed(int now_active) {
    active = now_active != 0;
    if (active) {
        if (mode_set)
            screen_set_mode(mode);
        return;
    }
    // Another application has the display: our surfaces' memory is no longer ours.
    for (surface_object *s : surfaces)
        s->mark_lost();
    if (mode_set)
        screen_restore_desktop_mode();
}

void ddraw_object::forget(surface_object *s) {
    surfaces.erase(std::remove(surfaces.begin(), surfaces.end(), s), surfaces.end());
}

void ddraw_object::forget(clipper_object *c) {
    clippers.erase(std::remove(clippers.begin(), clippers.end(), c), clippers.end());
}

bool ddraw_object::primary_exists() const {
    return std::any_of(surfaces.begin(), surfaces.end(), [](const surface_object *s) {
        return (s->caps & DDSCAPS_PRIMARYSURFACE) != 0;
    });
}

bool ddraw_object::exclusive_and_inactive() const {
    return this == exclusive_owner && !active;
}

void ddraw_object::leave_exclusive() {
    if (exclusive_owner != this)
        return;
    exclusive_owner = nullptr;
    int host_window = user_host_window(window);
    if (host_window)
        host_display.window_fullscreen(host_window, 0);
}

bool ddraw_exclusive_inactive() {
    return exclusive_owner && exclusive_owner->exclusive_and_inactive();
}

void ddraw_activation_changed(HWND window, int active) {
    if (exclusive_owner && exclusive_owner->window == window)
        exclusive_owner->activation_changed(active);
}

HRESULT WINAPI DirectDrawCreate(GUID *driver, LPDIRECTDRAW *ddraw, IUnknown *outer) {
    if (!ddraw)
        return DDERR_INVALIDPARAMS;
    *ddraw = nullptr;
    if (driver)
        return DDERR_INVALIDDIRECTDRAWGUID;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    *ddraw = new ddraw_object();
    return DD_OK;
}
