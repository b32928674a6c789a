// The GDI, OLE and global-memory subset on its own: what load_image relies on, and the
// Windows behaviour around it that a caller could meet.
#include "platform/winapi.h"
#include "platform/win32/counts.h"
#include "platform/win32/screen.h"
#include "tests/picture_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

TEST(MulDiv, RoundsToNearestWithHalvesAwayFromZero) {
    const struct {
        int number, numerator, denominator, expected;
    } cases[] = {
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {5, 1, -2, -3},
        {-5, -1, -2, -3},
        {7, 1, 3, 2},
        {8, 1, 3, 3},
        {-8, 1, 3, -3},
        {-7, 1, 3, -2},
        {320, 2540, 96, 8467},
        {8467, 96, 2540, 320},
        {200, 2540, 96, 5292},
        {5292, 96, 2540, 200},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, 1, 1, INT_MIN},
        {INT_MIN, -1, 1, -1}, // does not fit
        {INT_MAX, 2, 1, -1},
        {1, 1, 0, -1},
        {0, 5, 7, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
}

TEST(GlobalMemory, MovableBlocksCountTheirLocks) {
    const int blocks = win32_live_global_blocks();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(win32_live_global_blocks(), blocks + 1);
    EXPECT_EQ(GlobalSize(memory), 16u);
    void *first = GlobalLock(memory);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, static_cast<void *>(memory)) << "a movable handle is not its address";
    EXPECT_EQ(GlobalLock(memory), first);
    EXPECT_TRUE(GlobalUnlock(memory)) << "still locked once";
    SetLastError(ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(memory), nullptr);
    EXPECT_EQ(win32_live_global_blocks(), blocks);

    // Zero bytes: a handle to a discarded block, which cannot be locked.
    memory = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(GlobalLock(memory), nullptr);
    EXPECT_EQ(GlobalFree(memory), nullptr);

    // A fixed block is its own address; a handle that is not a block is refused.
    memory = GlobalAlloc(GPTR, 8);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(GlobalLock(memory), static_cast<void *>(memory));
    EXPECT_EQ(static_cast<unsigned char *>(memory)[7], 0);
    EXPECT_EQ(GlobalFree(memory), nullptr);
    int not_a_block = 0;
    EXPECT_EQ(GlobalFree(&not_a_block), static_cast<HGLOBAL>(&not_a_block));
    EXPECT_EQ(GlobalLock(&not_a_block), nullptr);
    EXPECT_EQ(win32_live_global_blocks(), blocks);
}

HGLOBAL global_copy(const bytes &content) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, content.size());
    if (memory && !content.empty()) {
        std::memcpy(GlobalLock(memory), content.data(), content.size());
        GlobalUnlock(memory);
    }
    return memory;
}

TEST(MemoryStream, ReadsItsBlockAndFreesItOnlyWhenAsked) {
    const win32_live_objects before = win32_live_object_counts();
    for (BOOL delete_on_release : {TRUE, FALSE}) {
        SCOPED_TRACE(delete_on_release);
        HGLOBAL memory = global_copy({1, 2, 3, 4, 5});
        IStream *stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(memory, delete_on_release, &stream), S_OK);
        EXPECT_EQ(win32_live_streams(), before.streams + 1);

        unsigned char buffer[8] = {};
        ULONG read = 0;
        EXPECT_EQ(stream->Read(buffer, 3, &read), S_OK);
        EXPECT_EQ(read, 3u);
        EXPECT_EQ(buffer[2], 3);
        stream->Read(buffer, 8, &read);
        EXPECT_EQ(read, 2u) << "only what is left";
        EXPECT_EQ(buffer[1], 5);
        ULARGE_INTEGER at = {};
        EXPECT_EQ(stream->Seek({-2}, STREAM_SEEK_END, &at), S_OK);
        EXPECT_EQ(at.QuadPart, 3u);
        EXPECT_TRUE(FAILED(stream->Seek({-1}, STREAM_SEEK_SET, &at)));
        EXPECT_EQ(stream->Write("xyz", 3, nullptr), S_OK);
        EXPECT_EQ(GlobalSize(memory), 6u) << "writing past the end grows the block";

        stream->Release();
        EXPECT_EQ(win32_live_streams(), before.streams);
        if (!delete_on_release) {
            EXPECT_EQ(win32_live_global_blocks(), before.global_blocks + 1);
            GlobalFree(memory);
        }
        EXPECT_TRUE(win32_live_object_counts() == before);
    }
    IStream *stream = nullptr;
    int not_a_block = 0;
    EXPECT_TRUE(FAILED(CreateStreamOnHGlobal(&not_a_block, TRUE, &stream)));
    EXPECT_EQ(stream, nullptr);
}

IPicture *load_picture(const bytes &content, LONG size, REFIID iid, HRESULT *result = nullptr) {
    IStream *stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(global_copy(content), TRUE, &stream)))
        return nullptr;
    IPicture *picture = reinterpret_cast<IPicture *>(1);
    const HRESULT hr =
        OleLoadPicture(stream, size, FALSE, iid, reinterpret_cast<void **>(&picture));
    stream->Release();
    if (result)
        *result = hr;
    return picture;
}

TEST(OleLoadPicture, GivesAPictureOnlyForTheWholeFileAndItsInterface) {
    const win32_live_objects before = win32_live_object_counts();
    const bytes bmp = make_bmp(3, 2, test_pattern(3, 2));
    const LONG size = static_cast<LONG>(bmp.size());
    HRESULT hr = S_OK;
    EXPECT_EQ(load_picture(bmp, size, IID_IStream, &hr), nullptr);
    EXPECT_EQ(hr, E_NOINTERFACE);
    EXPECT_EQ(load_picture(bmp, size + 1, IID_IPicture, &hr), nullptr) << "past the stream";
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(load_picture(bmp, size - 1, IID_IPicture, &hr), nullptr) << "a short BMP";
    EXPECT_TRUE(FAILED(hr));

    IPicture *picture = load_picture(bmp, size, IID_IPicture, &hr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(win32_live_pictures(), before.pictures + 1);
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    EXPECT_EQ(w, 79); // 3 pixels at 96 dots per inch
    EXPECT_EQ(h, 53);
    picture->Release();
    EXPECT_TRUE(win32_live_object_counts() == before);
}

// A bitmap selected into a memory DC, read back as 32-bit rows.
struct canvas {
    HDC screen;
    HDC dc;
    HBITMAP bitmap;
    int width, height;

    canvas(int w, int h)
        : screen(GetDC(nullptr)), dc(CreateCompatibleDC(screen)),
          bitmap(CreateCompatibleBitmap(screen, w, h)), width(w), height(h) {
        SelectObject(dc, bitmap);
    }
    ~canvas() {
        DeleteDC(dc);
        DeleteObject(bitmap);
        ReleaseDC(nullptr, screen);
    }
    canvas(const canvas &) = delete;
    canvas &operator=(const canvas &) = delete;

    std::vector<std::uint32_t> read(bool top_down = true) const {
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height, 0xDEADBEEF);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = top_down ? -height : height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, height, out.data(), &info, DIB_RGB_COLORS), height);
        return out;
    }
};

class Gdi : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_set_mode({320, 200, 32});
        before = win32_live_object_counts();
    }
    void TearDown() override {
        EXPECT_TRUE(win32_live_object_counts() == before);
        screen_restore_desktop_mode();
    }
    win32_live_objects before{};
};

TEST_F(Gdi, ScreenCapsFollowTheEmulatedMode) {
    screen_set_mode({640, 480, 16});
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 640);
    EXPECT_EQ(win32_live_dcs(), before.dcs + 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0) << "released twice";
}

TEST_F(Gdi, ABitmapCannotBeDeletedWhileSelected) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
    HDC dc = CreateCompatibleDC(screen);
    HDC other = CreateCompatibleDC(screen);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ stock = SelectObject(dc, bitmap);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr) << "already selected elsewhere";
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, stock), static_cast<HGDIOBJ>(bitmap));
    EXPECT_EQ(SelectObject(other, bitmap), stock);
    EXPECT_TRUE(DeleteDC(other)) << "deleting the DC lets the bitmap go";
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(screen)) << "a screen DC is released, not deleted";
    ReleaseDC(nullptr, screen);
}

// A 2x2 picture A B / C D, drawn with different target and source rectangles.
TEST_F(Gdi, RenderMapsTheHimetricSourceOntoTheTarget) {
    const std::uint32_t A = 0x112233, B = 0x445566, C = 0x778899, D = 0xAABBCC;
    IPicture *picture = load_picture(make_bmp(2, 2, {A, B, C, D}), 54 + 16, IID_IPicture);
    ASSERT_NE(picture, nullptr);
    OLE_XSIZE_HIMETRIC W = 0;
    OLE_YSIZE_HIMETRIC H = 0;
    picture->get_Width(&W);
    picture->get_Height(&H);

    const struct {
        const char *what;
        int size;
        LONG x, y, cx, cy, xs, ys, cxs, cys;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"upright", 2, 0, 0, 2, 2, 0, H, W, -H, {A, B, C, D}},
        {"positive source height: upside down", 2, 0, 0, 2, 2, 0, 0, W, H, {C, D, A, B}},
        {"mirrored target", 2, 2, 0, -2, 2, 0, H, W, -H, {B, A, D, C}},
        {"left half of the source", 2, 0, 0, 2, 2, 0, H, W / 2, -H, {A, A, C, C}},
        {"clipped at the bitmap's edge", 2, 1, 1, 2, 2, 0, H, W, -H, {0, 0, 0, A}},
        {"stretched twice",
         4,
         0,
         0,
         4,
         4,
         0,
         H,
         W,
         -H,
         {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        canvas target(c.size, c.size);
        EXPECT_EQ(
            picture->Render(target.dc, c.x, c.y, c.cx, c.cy, c.xs, c.ys, c.cxs, c.cys, nullptr),
            S_OK);
        EXPECT_EQ(target.read(), c.expected);
    }
    picture->Release();
}

TEST_F(Gdi, TransparentPixelsLeaveTheBitmapAsItWas) {
    const bytes under = make_bmp(2, 1, {0x0000FF, 0x00FF00});
    const bytes over = make_gif({2, 1, {0xFF0000, 0x000000}, {{0, 0, 2, 1, {0, 1}, false, 1}}});
    IPicture *first = load_picture(under, static_cast<LONG>(under.size()), IID_IPicture);
    IPicture *second = load_picture(over, static_cast<LONG>(over.size()), IID_IPicture);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    canvas target(2, 1);
    for (IPicture *p : {first, second}) {
        OLE_XSIZE_HIMETRIC W = 0;
        OLE_YSIZE_HIMETRIC H = 0;
        p->get_Width(&W);
        p->get_Height(&H);
        p->Render(target.dc, 0, 0, 2, 1, 0, H, W, -H, nullptr);
        p->Release();
    }
    EXPECT_EQ(target.read(), (std::vector<std::uint32_t>{0xFF0000, 0x00FF00}));
}

TEST_F(Gdi, GetDIBitsExpandsTheBitmapsDepthAndOrdersRows) {
    const bytes bmp = make_bmp(1, 2, {0xFFFFFF, 0x8C4A21});
    IPicture *picture = load_picture(bmp, static_cast<LONG>(bmp.size()), IID_IPicture);
    ASSERT_NE(picture, nullptr);
    OLE_XSIZE_HIMETRIC W = 0;
    OLE_YSIZE_HIMETRIC H = 0;
    picture->get_Width(&W);
    picture->get_Height(&H);
    const struct {
        int bits;
        std::uint32_t white, other;
    } cases[] = {
        {32, 0xFFFFFF, 0x8C4A21},
        {16, 0xF8FCF8, 0x884820}, // the low bits come back zero
        {15, 0xF8F8F8, 0x884820},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        screen_set_mode({320, 200, c.bits});
        canvas target(1, 2);
        picture->Render(target.dc, 0, 0, 1, 2, 0, H, W, -H, nullptr);
        EXPECT_EQ(target.read(true), (std::vector<std::uint32_t>{c.white, c.other}));
        EXPECT_EQ(target.read(false), (std::vector<std::uint32_t>{c.other, c.white}))
            << "a positive height reads the bottom row first";
    }
    picture->Release();
}

} // namespace
