// DirectDraw on an emulated display adapter: display modes, surfaces held in memory with a
// pitch and a pixel format, a flip chain in exclusive full screen, and windowed blits through
// a clipper. What reaches the screen goes to the host.
#include "platform/win32/ddraw.h"
#include "platform/win32/internal.h"
#include "platform/win32/screen.h"

#include "platform/host/display.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const HRESULT DDERR_GENERIC = E_FAIL;
const HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
const HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
const HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
const HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
const HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
const HRESULT DDERR_NOCOOPERATIVELEVELSET = static_cast<HRESULT>(0x887600D4u);
const HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
const HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
const HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
const HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
const HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
const HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
const HRESULT DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x88760246u);
const HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
const HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
const HRESULT DDERR_UNSUPPORTEDMODE = static_cast<HRESULT>(0x8876024Eu);
const HRESULT DDERR_INVALIDDIRECTDRAWGUID = static_cast<HRESULT>(0x88760231u);
const HRESULT DDERR_CANTLOCKSURFACE = static_cast<HRESULT>(0x887600D7u);

// What memory that nobody wrote holds on this adapter: visibly not a picture.
const unsigned char unwritten_byte = 0xA5;

struct pixel_layout {
    int bits; // 0 for a depth the adapter does not have
    int bytes;
    DWORD flags;
    DWORD r, g, b;
};

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

class ddraw_object;

class clipper_object final : public IDirectDrawClipper {
  public:
    explicit clipper_object(ddraw_object *owner_) : owner(owner_) {
        host_display.note(host_note_object_created);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND hwnd) override {
        if (flags != 0)
            return DDERR_INVALIDPARAMS;
        window = hwnd;
        return DD_OK;
    }

    ddraw_object *owner;
    HWND window = nullptr;
    ULONG refs = 1;

  private:
    ~clipper_object() { host_display.note(host_note_object_destroyed); }
    friend class ddraw_object;
};

class surface_object final : public IDirectDrawSurface {
  public:
    surface_object(ddraw_object *owner_, DWORD caps_, int width_, int height_,
                   const pixel_layout &layout_, bool with_memory)
        : owner(owner_), caps(caps_), width(width_), height(height_), layout(layout_) {
        if (with_memory) {
            int row = (width * layout.bytes + 3) & ~3;
            pitch = row + std::max(0, host_display.pitch_padding());
            memory.assign(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height),
                          unwritten_byte);
        }
        host_display.note(host_note_object_created);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT dst_rect, LPDIRECTDRAWSURFACE src, LPRECT src_rect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS want,
                                                 LPDIRECTDRAWSURFACE *surface) override {
        if (!want || !surface)
            return DDERR_INVALIDPARAMS;
        *surface = nullptr;
        if (!back || (want->dwCaps & ~back->caps) != 0)
            return DDERR_NOTFOUND;
        back->AddRef();
        *surface = back;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
        if (!format || format->dwSize != sizeof(DDPIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        fill_format(format);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE IsLost() override { return lost ? DDERR_SURFACELOST : DD_OK; }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper_) override {
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
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        host_display.note(host_note_unlock);
        if (!locked)
            return DDERR_NOTLOCKED;
        locked = false;
        return DD_OK;
    }

    void fill_format(DDPIXELFORMAT *format) const {
        std::memset(format, 0, sizeof(*format));
        format->dwSize = sizeof(*format);
        format->dwFlags = layout.flags;
        format->dwRGBBitCount = static_cast<DWORD>(layout.bits);
        format->dwRBitMask = layout.r;
        format->dwGBitMask = layout.g;
        format->dwBBitMask = layout.b;
    }
    host_frame frame() const {
        return {memory.data(), width, height, pitch, layout.bits, memory.size()};
    }
    void mark_lost() {
        lost = true;
        if (back)
            back->lost = true;
    }

    ddraw_object *owner;
    DWORD caps;
    int width, height;
    pixel_layout layout;
    LONG pitch = 0;
    std::vector<unsigned char> memory; // empty for the desktop's primary surface
    surface_object *back = nullptr;    // of a flip chain's front
    surface_object *front = nullptr;   // of a flip chain's back buffer
    clipper_object *clipper = nullptr;
    bool lost = false;
    bool locked = false;
    ULONG refs = 1;

  private:
    ~surface_object() {
        if (clipper)
            clipper->Release();
        delete back;
        host_display.note(host_note_object_destroyed);
    }
    friend class ddraw_object;
};

ddraw_object *exclusive_owner = nullptr;

class ddraw_object final : public IDirectDraw {
  public:
    ddraw_object() { host_display.note(host_note_object_created); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs > 0)
            return refs;
        delete this;
        return 0;
    }

    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *clipper,
                                            IUnknown *outer) override {
        if (!clipper)
            return DDERR_INVALIDPARAMS;
        *clipper = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (flags != 0)
            return DDERR_INVALIDPARAMS;
        if (!host_display.offers(host_resource_clipper))
            return DDERR_GENERIC;
        clipper_object *c = new clipper_object(this);
        clippers.push_back(c);
        *clipper = c;
        return DD_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE *surface,
                                            IUnknown *outer) override {
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
        screen_mode mode = screen_current_mode();

        surface_object *created;
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (primary_exists())
                return DDERR_PRIMARYSURFACEALREADYEXISTS;
            // The primary surface is the screen: its size and format are the mode's.
            if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
                return DDERR_INVALIDPARAMS;
            pixel_layout layout = layout_for(mode.bits);
            if (caps & DDSCAPS_FLIP) {
                if (this != exclusive_owner)
                    return DDERR_NOEXCLUSIVEMODE;
                // A flip chain of exactly one back buffer is what this adapter offers.
                if (!(caps & DDSCAPS_COMPLEX) || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
                    desc->dwBackBufferCount != 1)
                    return DDERR_INVALIDPARAMS;
                created = new surface_object(this, caps | DDSCAPS_FRONTBUFFER, mode.width,
                                             mode.height, layout, true);
                DWORD back_caps =
                    (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
                created->back =
                    new surface_object(this, back_caps, mode.width, mode.height, layout, true);
                created->back->front = created;
            } else {
                // The desktop: shown by the host, not held in memory here.
                created = new surface_object(this, caps, mode.width, mode.height, layout, false);
            }
        } else {
            if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) ||
                desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > 16384 ||
                desc->dwHeight > 16384)
                return DDERR_INVALIDPARAMS;
            pixel_layout layout = layout_for(mode.bits);
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

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override {
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

    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits) override {
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

    void activation_changed(int now_active) {
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

    void forget(surface_object *s) {
        surfaces.erase(std::remove(surfaces.begin(), surfaces.end(), s), surfaces.end());
    }
    void forget(clipper_object *c) {
        clippers.erase(std::remove(clippers.begin(), clippers.end(), c), clippers.end());
    }

    bool primary_exists() const {
        for (const surface_object *s : surfaces)
            if (s->caps & DDSCAPS_PRIMARYSURFACE)
                return true;
        return false;
    }

    HWND window = nullptr;
    DWORD level = 0;
    bool active = true;

  private:
    ~ddraw_object() {
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
        host_display.note(host_note_object_destroyed);
    }

    void leave_exclusive() {
        if (exclusive_owner != this)
            return;
        exclusive_owner = nullptr;
        int host_window = user_host_window(window);
        if (host_window)
            host_display.window_fullscreen(host_window, 0);
    }

    std::vector<surface_object *> surfaces;
    std::vector<clipper_object *> clippers;
    screen_mode mode = {0, 0, 0};
    bool mode_set = false;
    ULONG refs = 1;
};

ULONG STDMETHODCALLTYPE clipper_object::Release() {
    if (--refs > 0)
        return refs;
    if (owner)
        owner->forget(this);
    delete this;
    return 0;
}

ULONG STDMETHODCALLTYPE surface_object::Release() {
    if (refs > 0)
        --refs;
    // A back buffer lives as long as its flip chain.
    if (refs > 0 || front)
        return refs;
    if (owner)
        owner->forget(this);
    delete this;
    return 0;
}

bool exclusive_and_inactive(const ddraw_object *owner) {
    return owner && owner == exclusive_owner && !owner->active;
}

HRESULT STDMETHODCALLTYPE surface_object::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
    host_display.note(host_note_lock);
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

HRESULT STDMETHODCALLTYPE surface_object::Restore() {
    surface_object *root = front ? front : this;
    if (!root->lost && !(root->back && root->back->lost))
        return DD_OK;
    // Exclusive surfaces come back only once the application has the display again.
    if (exclusive_and_inactive(owner))
        return DDERR_WRONGMODE;
    for (surface_object *s = root; s; s = s->back) {
        s->lost = false;
        std::fill(s->memory.begin(), s->memory.end(), unwritten_byte);
    }
    return DD_OK;
}

HRESULT STDMETHODCALLTYPE surface_object::Flip(LPDIRECTDRAWSURFACE target, DWORD) {
    host_display.note(host_note_flip);
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
    host_display.note(host_note_blit);
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

} // namespace

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
