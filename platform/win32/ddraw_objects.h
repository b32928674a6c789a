#pragma once
// Inside DirectDraw: the display object, its surfaces and clippers, shared by ddraw.cpp (the
// display object and its modes) and ddraw_surface.cpp (surfaces, clipper, lock, flip, blit).
#include "platform/win32/com.h"
#include "platform/win32/counts.h"
#include "platform/win32/ddraw.h"
#include "platform/win32/ole.h"
#include "platform/win32/screen.h"

#include "platform/host/display.h"

#include <vector>

// What the adapter has done, for counts.h.
win32_ddraw_counts &ddraw_counts();

// How a depth lies in memory; bits 0 for a depth the adapter does not have.
struct pixel_layout {
    int bits;
    int bytes;
    DWORD flags;
    DWORD r, g, b;
};

pixel_layout layout_for(int bits);

class ddraw_object;

class clipper_object final : public com_object<clipper_object, IDirectDrawClipper> {
  public:
    explicit clipper_object(ddraw_object *owner_);
    // Made as the first interface versions; queried for nothing but IUnknown.
    static constexpr const IID *interfaces[] = {&IID_IUnknown};

    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND hwnd) override;

    ddraw_object *owner;
    HWND window = nullptr;

  private:
    ~clipper_object();
    void destroy();
    friend class com_object<clipper_object, IDirectDrawClipper>;
    friend class ddraw_object;
};

class surface_object final : public com_object<surface_object, IDirectDrawSurface> {
  public:
    surface_object(ddraw_object *owner_, DWORD caps_, int width_, int height_,
                   const pixel_layout &layout_, bool with_memory);
    static constexpr const IID *interfaces[] = {&IID_IUnknown};

    HRESULT STDMETHODCALLTYPE Blt(LPRECT dst_rect, LPDIRECTDRAWSURFACE src, LPRECT src_rect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS want,
                                                 LPDIRECTDRAWSURFACE *surface) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper_) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override;

    void fill_format(DDPIXELFORMAT *format) const;
    host_frame frame() const;
    void mark_lost();

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

  private:
    ~surface_object();
    void destroy();
    friend class com_object<surface_object, IDirectDrawSurface>;
    friend class ddraw_object;
};

class ddraw_object final : public com_object<ddraw_object, IDirectDraw> {
  public:
    ddraw_object();
    static constexpr const IID *interfaces[] = {&IID_IUnknown};

    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *clipper,
                                            IUnknown *outer) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE *surface,
                                            IUnknown *outer) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits) override;

    void activation_changed(int now_active);
    void forget(surface_object *s);
    void forget(clipper_object *c);
    bool primary_exists() const;
    // Holds the display exclusively and has lost the focus: its surfaces stay lost.
    bool exclusive_and_inactive() const;

    HWND window = nullptr;
    DWORD level = 0;
    bool active = true;

  private:
    ~ddraw_object();
    void leave_exclusive();
    friend class com_object<ddraw_object, IDirectDraw>;

    std::vector<surface_object *> surfaces;
    std::vector<clipper_object *> clippers;
    screen_mode mode = {0, 0, 0};
    bool mode_set = false;
};
