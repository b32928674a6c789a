// DirectDraw calls that the display library does not make today but that the emulated
// adapter answers: locking part of a surface, an off-screen surface of its own pixel format,
// a second primary surface, and the interface query.
#include "platform/win32/counts.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class DirectDraw : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(DirectDrawCreate(nullptr, &ddraw, nullptr), DD_OK);
        ASSERT_EQ(ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override {
        if (ddraw)
            ddraw->Release();
        EXPECT_EQ(win32_ddraw_count().live_objects, 0);
    }
    HRESULT create(DDSURFACEDESC *desc, LPDIRECTDRAWSURFACE *surface) {
        desc->dwSize = sizeof(DDSURFACEDESC);
        return ddraw->CreateSurface(desc, surface, nullptr);
    }
    HRESULT offscreen(int width, int height, const DDPIXELFORMAT *format,
                      LPDIRECTDRAWSURFACE *surface) {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        if (format)
            desc.ddpfPixelFormat = *format;
        return create(&desc, surface);
    }

    LPDIRECTDRAW ddraw = nullptr;
};

struct lock_case {
    const char *name;
    RECT rect;
    HRESULT result;
    std::size_t offset; // from the surface's first byte, when locked
};

// A rectangle locks from its top left corner; one that is empty or leaves the surface is
// refused and leaves the surface unlocked.
TEST_F(DirectDraw, LocksARectangleFromItsCorner) {
    LPDIRECTDRAWSURFACE surface = nullptr;
    ASSERT_EQ(offscreen(8, 4, nullptr, &surface), DD_OK);
    DDSURFACEDESC whole;
    whole.dwSize = sizeof whole;
    ASSERT_EQ(surface->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
    const auto pitch = static_cast<std::size_t>(whole.lPitch);
    const lock_case cases[] = {
        {"inside", {2, 1, 4, 3}, DD_OK, pitch + 2 * 4},
        {"whole", {0, 0, 8, 4}, DD_OK, 0},
        {"last pixel", {7, 3, 8, 4}, DD_OK, 3 * pitch + 7 * 4},
        {"empty", {2, 1, 2, 3}, DDERR_INVALIDRECT, 0},
        {"past the right", {6, 0, 9, 1}, DDERR_INVALIDRECT, 0},
        {"above the top", {0, -1, 1, 1}, DDERR_INVALIDRECT, 0},
    };
    for (const lock_case &c : cases) {
        SCOPED_TRACE(c.name);
        RECT rect = c.rect;
        DDSURFACEDESC desc;
        desc.dwSize = sizeof desc;
        ASSERT_EQ(surface->Lock(&rect, &desc, DDLOCK_WAIT, nullptr), c.result);
        if (c.result != DD_OK) {
            EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
            continue;
        }
        EXPECT_EQ(static_cast<unsigned char *>(desc.lpSurface),
                  static_cast<unsigned char *>(whole.lpSurface) + c.offset);
        EXPECT_EQ(desc.lPitch, whole.lPitch);
        EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    }
    surface->Release();
}

struct format_case {
    const char *name;
    DWORD flags, bits;
    HRESULT result;
    DWORD red_mask; // of the surface made
};

TEST_F(DirectDraw, OffscreenSurfaceOfItsOwnPixelFormat) {
    const format_case cases[] = {
        {"16 bits", DDPF_RGB, 16, DD_OK, 0xF800},
        {"15 bits", DDPF_RGB, 15, DD_OK, 0x7C00},
        {"24 bits", DDPF_RGB, 24, DD_OK, 0xFF0000},
        {"8 bits indexed", DDPF_PALETTEINDEXED8, 8, DD_OK, 0},
        {"8 bits without the palette flag", DDPF_RGB, 8, DDERR_INVALIDPIXELFORMAT, 0},
        {"12 bits", DDPF_RGB, 12, DDERR_INVALIDPIXELFORMAT, 0},
    };
    for (const format_case &c : cases) {
        SCOPED_TRACE(c.name);
        DDPIXELFORMAT format;
        std::memset(&format, 0, sizeof format);
        format.dwSize = sizeof format;
        format.dwFlags = c.flags;
        format.dwRGBBitCount = c.bits;
        LPDIRECTDRAWSURFACE surface = nullptr;
        ASSERT_EQ(offscreen(16, 2, &format, &surface), c.result);
        if (c.result != DD_OK) {
            EXPECT_EQ(surface, nullptr);
            continue;
        }
        DDPIXELFORMAT made;
        made.dwSize = sizeof made;
        ASSERT_EQ(surface->GetPixelFormat(&made), DD_OK);
        EXPECT_EQ(made.dwRGBBitCount, c.bits);
        EXPECT_EQ(made.dwRBitMask, c.red_mask);
        surface->Release();
    }
}

TEST_F(DirectDraw, OnePrimarySurfaceAtATime) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    LPDIRECTDRAWSURFACE first = nullptr;
    LPDIRECTDRAWSURFACE second = nullptr;
    ASSERT_EQ(create(&desc, &first), DD_OK);
    EXPECT_EQ(create(&desc, &second), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(second, nullptr);
    first->Release();
    // Once released, a primary surface can be made again.
    ASSERT_EQ(create(&desc, &second), DD_OK);
    second->Release();
}

TEST_F(DirectDraw, AnswersOnlyForIUnknown) {
    LPDIRECTDRAWSURFACE surface = nullptr;
    ASSERT_EQ(offscreen(4, 4, nullptr, &surface), DD_OK);
    IUnknown *objects[] = {ddraw, surface};
    for (IUnknown *object : objects) {
        void *same = nullptr;
        ASSERT_EQ(object->QueryInterface(IID_IUnknown, &same), S_OK);
        EXPECT_EQ(same, object);
        static_cast<IUnknown *>(same)->Release();
        void *other = &same;
        EXPECT_EQ(object->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
        EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    }
    surface->Release();
}

} // namespace
