#pragma once
// DirectDraw: the display object, surfaces, clipper. The first interface versions, with the
// methods the frame-buffer display calls.

#include "platform/win32/types.h"

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
typedef IDirectDraw *LPDIRECTDRAW;
typedef IDirectDrawSurface *LPDIRECTDRAWSURFACE;
typedef IDirectDrawClipper *LPDIRECTDRAWCLIPPER;
struct DDBLTFX; // blit effects: none of our callers pass any
typedef DDBLTFX *LPDDBLTFX;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
typedef DDPIXELFORMAT *LPDDPIXELFORMAT;

struct DDSCAPS {
    DWORD dwCaps;
};
typedef DDSCAPS *LPDDSCAPS;

struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};
typedef DDSURFACEDESC *LPDDSURFACEDESC;

#define DD_OK S_OK

// DirectDraw's own failures; the rest are COM's (E_FAIL, E_INVALIDARG, E_NOTIMPL).
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_INVALIDPIXELFORMAT ((HRESULT)0x88760091)
#define DDERR_INVALIDRECT ((HRESULT)0x88760096)
#define DDERR_NOCOOPERATIVELEVELSET ((HRESULT)0x887600D4)
#define DDERR_CANTLOCKSURFACE ((HRESULT)0x887600D7)
#define DDERR_NOEXCLUSIVEMODE ((HRESULT)0x887600E1)
#define DDERR_NOTFOUND ((HRESULT)0x887600FF)
#define DDERR_SURFACEBUSY ((HRESULT)0x887601AE)
#define DDERR_SURFACELOST ((HRESULT)0x887601C2)
#define DDERR_INVALIDDIRECTDRAWGUID ((HRESULT)0x88760231)
#define DDERR_PRIMARYSURFACEALREADYEXISTS ((HRESULT)0x88760234)
#define DDERR_EXCLUSIVEMODEALREADYSET ((HRESULT)0x88760245)
#define DDERR_NOTFLIPPABLE ((HRESULT)0x88760246)
#define DDERR_NOTLOCKED ((HRESULT)0x88760248)
#define DDERR_WRONGMODE ((HRESULT)0x8876024B)
#define DDERR_UNSUPPORTEDMODE ((HRESULT)0x8876024E)

#define DDSCL_FULLSCREEN 0x00000001L
#define DDSCL_NORMAL 0x00000008L
#define DDSCL_EXCLUSIVE 0x00000010L

#define DDSD_CAPS 0x00000001L
#define DDSD_HEIGHT 0x00000002L
#define DDSD_WIDTH 0x00000004L
#define DDSD_PITCH 0x00000008L
#define DDSD_BACKBUFFERCOUNT 0x00000020L
#define DDSD_LPSURFACE 0x00000800L
#define DDSD_PIXELFORMAT 0x00001000L

#define DDSCAPS_BACKBUFFER 0x00000004L
#define DDSCAPS_COMPLEX 0x00000008L
#define DDSCAPS_FLIP 0x00000010L
#define DDSCAPS_FRONTBUFFER 0x00000020L
#define DDSCAPS_OFFSCREENPLAIN 0x00000040L
#define DDSCAPS_PRIMARYSURFACE 0x00000200L
#define DDSCAPS_SYSTEMMEMORY 0x00000800L
#define DDSCAPS_VIDEOMEMORY 0x00004000L

#define DDPF_PALETTEINDEXED8 0x00000020L
#define DDPF_RGB 0x00000040L

#define DDLOCK_WAIT 0x00000001L
#define DDFLIP_WAIT 0x00000001L
#define DDBLT_WAIT 0x01000000L

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) = 0;

  protected:
    ~IDirectDrawClipper() = default;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Blt(LPRECT dst_rect, LPDIRECTDRAWSURFACE src, LPRECT src_rect,
                                          DWORD flags, LPDDBLTFX fx) = 0;
    virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                         LPDIRECTDRAWSURFACE *surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLost() = 0;
    virtual HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                           HANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID surface) = 0;

  protected:
    ~IDirectDrawSurface() = default;
};

struct IDirectDraw : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *clipper,
                                                    IUnknown *outer) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc,
                                                    LPDIRECTDRAWSURFACE *surface,
                                                    IUnknown *outer) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits) = 0;

  protected:
    ~IDirectDraw() = default;
};

// Exported by the built-in ddraw.dll; callers find it with GetProcAddress.
HRESULT WINAPI DirectDrawCreate(GUID *driver, LPDIRECTDRAW *ddraw, IUnknown *outer);
