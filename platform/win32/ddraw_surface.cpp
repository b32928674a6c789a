// DirectDraw's surfaces and clippers: memory with a pitch and a pixel format, locking, the
// flip chain of exclusive full screen, and windowed blits through a clipper to the host.
#include "platform/win32/ddraw_objects.h"
#include "platform/win32/services.h"

#include <algorithm>
#include <cstring>

namespace {

// What memory that nobody wrote holds on this adapter: visibly not a picture.
const unsigned char unwritten_byte = 0xA5;

} // namespace

clipper_object::clipper_object(ddraw_object *owner_) : owner(owner_) {
    ++ddraw_counts().live_objects;
}

clipper_object::~clipper_object() {
    --ddraw_counts().live_objects;
}

void clipper_object::destroy() {
    if (owner)
        owner->forget(this);
    delete this;
}

HRESULT STDMETHODCALLTYPE clipper_object::SetHWnd(DWORD flags, HWND hwnd) {
    if (flags != 0)
        return DDERR_INVALIDPARAMS;
    window = hwnd;
    return DD_OK;
}

surface_object::surface_object(ddraw_object *owner_, DWORD caps_, int width_, int height_,
                               const pixel_layout &layout_, bool with_memory)
    : owner(owner_), caps(caps_), width(width_), height(height_), layout(layout_) {
    if (with_memory) {
        int row = (width * layout.bytes + 3) & ~3;
        pitch = row + screen_pitch_padding();
        memory.assign(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height),
                      unwritten_byte);
    }
    ++ddraw_counts().live_objects;
}

surface_object::~surface_object() {
    if (clipper)
        clipper->Release();
    delete back;
    --ddraw_counts().live_objects;
}

void surface_object::destroy() {
    // A back buffer lives as long as its flip chain.
    if (front)
        return;
    if (owner)
        owner->forget(this);
    delete this;
}

void surface_object::fill_format(DDPIXELFORMAT *format) const {
    std::memset(format, 0, sizeof(*format));
    format->dwSize = sizeof(*format);
    format->dwFlags = layout.flags;
    format->dwRGBBitCount = static_cast<DWORD>(layout.bits);
    format->dwRBitMask = layout.r;
    format->dwGBitMask = layout.g;
    format->dwBBitMask = layout.b;
}

host_frame surface_object::frame() const {
    return {memory.data(), width, height, pitch, layout.bits, memory.size()};
}

void surface_object::mark_lost() {
    lost = true;
    if (back)
        back->lost = true;
}

HRESULT STDMETHODCALLTYPE surface_object::GetAttachedSurface(LPDDSCAPS want,
                                                             LPDIRECTDRAWSURFACE *surface) {
    if (!want || !surface)
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (!back || (want->dwCaps & ~back->caps) != 0)
        return DDERR_NOTFOUND;
    back->AddRef();
    *surface = back;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (!format || format->dwSize != sizeof(DDPIXELFORMAT))
        return DDERR_INVALIDPARAMS;
    fill_format(format);
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::IsLost() {
    return lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::SetClipper(LPDIRECTDRAWCLIPPER clipper_) {
    if (!(caps & DDSCAPS_PRIMARYSURFACE))
        return DDERR_UNSUPPORTED;
    clipper_object *next = static_cast<clipper_object *>(clipper_);
    if (next)
        next->AddRef();
    if (clipper)
        clipper->Release();
    clipper = next;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
    ++ddraw_counts().locks;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    desc->lpSurface = nullptr;
    if (lost)
        return DDERR_SURFACELOST;
    if (locked)
        return DDERR_SURFACEBUSY;
    if (memory.empty())
        return DDERR_CANTLOCKSURFACE;
    std::size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > width || rect->bottom > height ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return DDERR_INVALIDRECT;
        offset = static_cast<std::size_t>(rect->top) * static_cast<std::size_t>(pitch) +
                 static_cast<std::size_t>(rect->left) * static_cast<std::size_t>(layout.bytes);
    }
    locked = true;
    DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof(*desc));
    desc->dwSize = size;
    desc->dwFlags =
        DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc->dwWidth = static_cast<DWORD>(width);
    desc->dwHeight = static_cast<DWORD>(height);
    desc->lPitch = pitch;
    desc->lpSurface = memory.data() + offset;
    fill_format(&desc->ddpfPixelFormat);
    desc->ddsCaps.dwCaps = caps;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Unlock(LPVOID) {
    ++ddraw_counts().unlocks;
    if (!locked)
        return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Restore() {
    surface_object *root = front ? front : this;
    if (!root->lost && !(root->back && root->back->lost))
        return DD_OK;
    // Exclusive surfaces come back only once the application has the display again.
    if (owner && owner->exclusive_and_inactive())
        return DDERR_WRONGMODE;
    for (surface_object *s = root; s; s = s->back) {
        s->lost = false;
        std::fill(s->memory.begin(), s->memory.end(), unwritten_byte);
    }
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Flip(LPDIRECTDRAWSURFACE target, DWORD) {
    ++ddraw_counts().flips;
    if (!back)
        return DDERR_NOTFLIPPABLE;
    if (target && target != back)
        return DDERR_INVALIDPARAMS;
    if (lost || back->lost)
        return DDERR_SURFACELOST;
    if (locked || back->locked)
        return DDERR_SURFACEBUSY;
    // The buffers change places; each interface keeps its role in the chain.
    memory.swap(back->memory);
    if (owner) {
        host_frame shown = frame();
        host_display.present(user_host_window(owner->window), &shown, nullptr);
    }
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Blt(LPRECT dst_rect, LPDIRECTDRAWSURFACE src,
                                              LPRECT src_rect, DWORD, LPDDBLTFX) {
    ++ddraw_counts().blits;
    // Only what a windowed display needs: an off-screen surface onto the desktop's primary.
    if (!src || !(caps & DDSCAPS_PRIMARYSURFACE) || !memory.empty())
        return DDERR_UNSUPPORTED;
    surface_object *source = static_cast<surface_object *>(src);
    if (lost || source->lost)
        return DDERR_SURFACELOST;
    if (source->locked)
        return DDERR_SURFACEBUSY;
    if (source->layout.bits != layout.bits)
        return DDERR_INVALIDPIXELFORMAT;

    RECT from = {0, 0, source->width, source->height};
    if (src_rect) {
        from = *src_rect;
        if (from.left < 0 || from.top < 0 || from.right > source->width ||
            from.bottom > source->height || from.left >= from.right || from.top >= from.bottom)
            return DDERR_INVALIDRECT;
    }
    RECT to = {0, 0, width, height};
    if (dst_rect)
        to = *dst_rect;
    if (to.left >= to.right || to.top >= to.bottom)
        return DDERR_INVALIDRECT;

    // Without a clipper the blit lands on the desktop, which no host here shows.
    int host_window = clipper ? user_host_window(clipper->window) : 0;
    if (!host_window)
        return DD_OK;
    host_rect client = {0, 0, 0, 0};
    host_display.window_client(host_window, &client);
    host_rect target = {to.left - client.x, to.top - client.y, to.right - to.left,
                        to.bottom - to.top};
    host_frame shown = source->frame();
    shown.pixels =
        source->memory.data() +
        static_cast<std::size_t>(from.top) * static_cast<std::size_t>(source->pitch) +
        static_cast<std::size_t>(from.left) * static_cast<std::size_t>(source->layout.bytes);
    shown.size -= static_cast<unsigned long>(static_cast<const unsigned char *>(shown.pixels) -
                                             source->memory.data());
    shown.width = from.right - from.left;
    shown.height = from.bottom - from.top;
    host_display.present(host_window, &shown, &target);
    return DD_OK;
}
