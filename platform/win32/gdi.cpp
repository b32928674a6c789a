#include "platform/win32/gdi.h"
#include "platform/win32/block_cache.h"
#include "platform/win32/faults.h"
#include "platform/win32/gdi_surface.h"
#include "platform/win32/counts.h"
#include "platform/win32/screen.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>

namespace {

struct gdi_bitmap {
    int width;
    int height;
    int depth;
    int pitch;
    unsigned char *bits;
    struct gdi_dc *selected_into;
};

struct gdi_dc {
    bool screen;
    gdi_bitmap *selected; // null: the stock 1x1 bitmap every memory DC starts with
};

// What a memory DC holds before anything is selected into it. It has no pixels of its own
// and is never deleted.
gdi_bitmap stock_bitmap = {1, 1, 1, 0, nullptr, nullptr};

// Live objects. Handles not in here are refused, never dereferenced.
std::unordered_set<gdi_dc *> &dcs() {
    static std::unordered_set<gdi_dc *> live;
    return live;
}
std::unordered_set<gdi_bitmap *> &bitmaps() {
    static std::unordered_set<gdi_bitmap *> live;
    return live;
}

gdi_dc *find_dc(HDC dc) {
    auto *d = reinterpret_cast<gdi_dc *>(dc);
    return dcs().count(d) ? d : nullptr;
}

gdi_bitmap *find_bitmap(HGDIOBJ object) {
    auto *b = static_cast<gdi_bitmap *>(object);
    if (b == &stock_bitmap)
        return b;
    return bitmaps().count(b) ? b : nullptr;
}

HDC new_dc(bool screen) {
    auto *d = new (std::nothrow) gdi_dc{screen, nullptr};
    if (!d)
        return nullptr;
    try {
        dcs().insert(d);
    } catch (const std::bad_alloc &) {
        delete d;
        return nullptr;
    }
    return reinterpret_cast<HDC>(d);
}

// The storage a screen depth gets. There is no palette here: an 8-bit screen's bitmaps
// keep full colour.
int bitmap_depth(int screen_bits) {
    switch (screen_bits) {
    case 24:
    case 16:
    case 15:
        return screen_bits;
    default:
        return 32;
    }
}

} // namespace

HDC WINAPI GetDC(HWND window) {
    if (window)
        return nullptr;
    return new_dc(true);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    gdi_dc *d = find_dc(dc);
    if (window || !d || !d->screen)
        return 0;
    dcs().erase(d);
    delete d;
    return 1;
}

int WINAPI GetDeviceCaps(HDC dc, int index) {
    if (!find_dc(dc))
        return 0;
    const screen_mode mode = screen_current_mode();
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case BITSPIXEL:
        return mode.bits;
    case PLANES:
        return 1;
    case HORZRES:
        return mode.width;
    case VERTRES:
        return mode.height;
    default:
        return 0;
    }
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    gdi_dc *d = find_dc(dc);
    // A memory DC would give bitmaps of its selected bitmap's format; only the screen's
    // format is emulated.
    if (!d || !d->screen || width <= 0 || height <= 0 ||
        win32_should_fail(win32_fault::create_bitmap))
        return nullptr;
    const int depth = bitmap_depth(screen_current_mode().bits);
    const int bytes_per_pixel = depth >= 24 ? 4 : 2;
    if (width > 0x7FFFFFFF / bytes_per_pixel)
        return nullptr;
    const int pitch = width * bytes_per_pixel;
    const std::size_t bytes = static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height);
    auto *bits = static_cast<unsigned char *>(block_take(bytes, true));
    if (!bits)
        return nullptr;
    auto *b = new (std::nothrow) gdi_bitmap{width, height, depth, pitch, bits, nullptr};
    if (!b) {
        block_give(bits, bytes);
        return nullptr;
    }
    try {
        bitmaps().insert(b);
    } catch (const std::bad_alloc &) {
        block_give(bits, bytes);
        delete b;
        return nullptr;
    }
    return reinterpret_cast<HBITMAP>(b);
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
    if ((dc && !find_dc(dc)) || win32_should_fail(win32_fault::create_dc))
        return nullptr;
    return new_dc(false);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    gdi_dc *d = find_dc(dc);
    gdi_bitmap *b = find_bitmap(object);
    if (!d || d->screen || !b)
        return nullptr;
    // A bitmap can be selected into one DC at a time.
    if (b != &stock_bitmap && b->selected_into && b->selected_into != d)
        return nullptr;
    gdi_bitmap *previous = d->selected ? d->selected : &stock_bitmap;
    if (previous != &stock_bitmap)
        previous->selected_into = nullptr;
    if (b == &stock_bitmap) {
        d->selected = nullptr;
    } else {
        d->selected = b;
        b->selected_into = d;
    }
    return previous;
}

int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                     UINT usage) {
    gdi_bitmap *b = find_bitmap(bitmap);
    if (!find_dc(dc) || !b || b == &stock_bitmap || !bits || !info || usage != DIB_RGB_COLORS)
        return 0;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    const bool top_down = h.biHeight < 0;
    const LONG dib_height = top_down ? -h.biHeight : h.biHeight;
    // Only the read-back of the whole bitmap as 32-bit pixels is emulated.
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biBitCount != 32 ||
        h.biCompression != BI_RGB || h.biWidth != b->width || dib_height != b->height)
        return 0;
    if (start >= static_cast<UINT>(b->height))
        return 0;
    const UINT count = lines < b->height - start ? lines : b->height - start;
    auto *out = static_cast<std::uint32_t *>(bits);
    for (UINT i = 0; i < count; ++i) {
        // Scan lines count from the top of a top-down DIB and from the bottom otherwise.
        const UINT row = top_down ? start + i : b->height - 1 - (start + i);
        const unsigned char *src = b->bits + static_cast<std::size_t>(row) * b->pitch;
        std::uint32_t *dst = out + static_cast<std::size_t>(i) * b->width;
        switch (b->depth) {
        case 16:
            // The low bits are zero, as GDI expands them: white reads back as F8FCF8.
            for (int x = 0; x < b->width; ++x) {
                std::uint32_t p;
                std::memcpy(&p, src + 2 * x, 2);
                p &= 0xFFFF;
                dst[x] = ((p & 0xF800) << 8) | ((p & 0x07E0) << 5) | ((p & 0x001F) << 3);
            }
            break;
        case 15:
            for (int x = 0; x < b->width; ++x) {
                std::uint32_t p;
                std::memcpy(&p, src + 2 * x, 2);
                p &= 0xFFFF;
                dst[x] = ((p & 0x7C00) << 9) | ((p & 0x03E0) << 6) | ((p & 0x001F) << 3);
            }
            break;
        default:
            std::memcpy(dst, src, static_cast<std::size_t>(b->width) * 4);
            break;
        }
    }
    return static_cast<int>(count);
}

BOOL WINAPI DeleteDC(HDC dc) {
    gdi_dc *d = find_dc(dc);
    if (!d || d->screen)
        return FALSE;
    if (d->selected)
        d->selected->selected_into = nullptr;
    dcs().erase(d);
    delete d;
    return TRUE;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    gdi_bitmap *b = find_bitmap(object);
    if (!b)
        return FALSE;
    if (b == &stock_bitmap)
        return TRUE;
    if (b->selected_into)
        return FALSE;
    bitmaps().erase(b);
    block_give(b->bits, static_cast<std::size_t>(b->pitch) * static_cast<std::size_t>(b->height));
    delete b;
    return TRUE;
}

bool gdi_dc_surface(HDC dc, gdi_surface *surface) {
    gdi_dc *d = find_dc(dc);
    if (!d || !d->selected)
        return false;
    const gdi_bitmap &b = *d->selected;
    *surface = {b.bits, b.width, b.height, b.depth, b.pitch};
    return true;
}

void gdi_store_pixels(const gdi_surface &surface, int x, int y, const std::uint32_t *pixels,
                      int count) {
    unsigned char *row = surface.bits + static_cast<std::size_t>(y) * surface.pitch;
    switch (surface.depth) {
    case 16:
        // Drawing at 16 bits keeps the top bits of each channel, as a 5-6-5 screen does.
        for (int i = 0; i < count; ++i) {
            const std::uint32_t p = pixels[i];
            const auto v = static_cast<std::uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) |
                                                      ((p >> 3) & 0x001F));
            std::memcpy(row + 2 * (x + i), &v, 2);
        }
        break;
    case 15:
        for (int i = 0; i < count; ++i) {
            const std::uint32_t p = pixels[i];
            const auto v = static_cast<std::uint16_t>(((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) |
                                                      ((p >> 3) & 0x001F));
            std::memcpy(row + 2 * (x + i), &v, 2);
        }
        break;
    default: {
        // The fourth byte is stored zero, two pixels at a time.
        unsigned char *dst = row + 4 * static_cast<std::size_t>(x);
        int i = 0;
        for (; i + 2 <= count; i += 2) {
            std::uint64_t pair;
            std::memcpy(&pair, pixels + i, 8);
            pair &= 0x00FFFFFF00FFFFFFull;
            std::memcpy(dst + 4 * i, &pair, 8);
        }
        if (i < count) {
            const std::uint32_t p = pixels[i] & 0x00FFFFFF;
            std::memcpy(dst + 4 * i, &p, 4);
        }
        break;
    }
    }
}

int win32_live_dcs() {
    return static_cast<int>(dcs().size());
}
int win32_live_bitmaps() {
    return static_cast<int>(bitmaps().size());
}
