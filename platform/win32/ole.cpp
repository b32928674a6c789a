// OLE: memory streams over global memory blocks, and the picture object that decodes a
// stream's bytes and renders them through GDI.
#include "platform/win32/ole.h"
#include "platform/decoders/decoders.h"
#include "platform/win32/com.h"
#include "platform/win32/faults.h"
#include "platform/win32/gdi_surface.h"
#include "platform/win32/kernel.h"
#include "platform/win32/counts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPicture = {
    0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

namespace {

int live_streams = 0;
int live_pictures = 0;

class hglobal_stream final : public com_object<hglobal_stream, IStream> {
  public:
    hglobal_stream(HGLOBAL memory, bool delete_on_release)
        : memory_(memory), delete_on_release_(delete_on_release) {
        ++live_streams;
    }
    hglobal_stream(const hglobal_stream &) = delete;
    hglobal_stream &operator=(const hglobal_stream &) = delete;

    static constexpr const IID *interfaces[] = {&IID_IUnknown, &IID_ISequentialStream,
                                                &IID_IStream};

    HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG bytes, ULONG *read) override {
        if (read)
            *read = 0;
        if (!buffer && bytes > 0)
            return STG_E_INVALIDFUNCTION;
        const SIZE_T size = GlobalSize(memory_);
        ULONG n = 0;
        if (position_ < size) {
            const ULONGLONG available = size - position_;
            n = available < bytes ? static_cast<ULONG>(available) : bytes;
        }
        if (n > 0) {
            auto *data = static_cast<const unsigned char *>(GlobalLock(memory_));
            if (!data)
                return E_FAIL;
            std::memcpy(buffer, data + position_, n);
            GlobalUnlock(memory_);
            position_ += n;
        }
        if (read)
            *read = n;
        return n < bytes ? S_FALSE : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void *buffer, ULONG bytes, ULONG *written) override {
        if (written)
            *written = 0;
        if (!buffer && bytes > 0)
            return STG_E_INVALIDFUNCTION;
        if (bytes == 0)
            return S_OK;
        const ULONGLONG end = position_ + bytes;
        if (end > GlobalSize(memory_) && !GlobalReAlloc(memory_, static_cast<SIZE_T>(end), 0))
            return STG_E_MEDIUMFULL;
        auto *data = static_cast<unsigned char *>(GlobalLock(memory_));
        if (!data)
            return E_FAIL;
        std::memcpy(data + position_, buffer, bytes);
        GlobalUnlock(memory_);
        position_ = end;
        if (written)
            *written = bytes;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER *position) override {
        LONGLONG base;
        switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(GlobalSize(memory_));
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        if (move.QuadPart < -base)
            return STG_E_INVALIDFUNCTION;
        position_ = static_cast<ULONGLONG>(base + move.QuadPart);
        if (position)
            position->QuadPart = position_;
        return S_OK;
    }

  private:
    friend class com_object<hglobal_stream, IStream>;
    ~hglobal_stream() {
        if (delete_on_release_)
            GlobalFree(memory_);
        --live_streams;
    }

    HGLOBAL memory_;
    bool delete_on_release_;
    ULONGLONG position_ = 0;
};

class picture_object final : public com_object<picture_object, IPicture> {
  public:
    explicit picture_object(decoded_picture &&picture) : picture_(std::move(picture)) {
        ++live_pictures;
    }
    picture_object(const picture_object &) = delete;
    picture_object &operator=(const picture_object &) = delete;

    static constexpr const IID *interfaces[] = {&IID_IUnknown, &IID_IPicture};

    // Pixels at 96 dots per inch.
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC *width) override {
        if (!width)
            return E_POINTER;
        *width = MulDiv(picture_.width, 2540, 96);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC *height) override {
        if (!height)
            return E_POINTER;
        *height = MulDiv(picture_.height, 2540, 96);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy,
                                     OLE_XPOS_HIMETRIC x_src, OLE_YPOS_HIMETRIC y_src,
                                     OLE_XSIZE_HIMETRIC cx_src, OLE_YSIZE_HIMETRIC cy_src,
                                     LPCRECT) override;

  private:
    friend class com_object<picture_object, IPicture>;
    ~picture_object() { --live_pictures; }

    decoded_picture picture_;
};

// Each target pixel takes the source pixel under its centre: the source rectangle, in
// HIMETRIC with y upwards, is mapped onto the target rectangle, either of which may be
// mirrored by a negative extent.
HRESULT STDMETHODCALLTYPE picture_object::Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy,
                                                 OLE_XPOS_HIMETRIC x_src, OLE_YPOS_HIMETRIC y_src,
                                                 OLE_XSIZE_HIMETRIC cx_src,
                                                 OLE_YSIZE_HIMETRIC cy_src, LPCRECT) {
    gdi_surface surface;
    if (!gdi_dc_surface(dc, &surface))
        return E_FAIL;
    if (cx == 0 || cy == 0 || cx_src == 0 || cy_src == 0)
        return E_INVALIDARG;
    const double hm_width = MulDiv(picture_.width, 2540, 96);
    const double hm_height = MulDiv(picture_.height, 2540, 96);

    // The target rectangle, put in order and clipped to the bitmap.
    const long long x0 = x, x1 = x0 + cx, y0 = y, y1 = y0 + cy;
    const long long left = std::max(0LL, std::min(x0, x1));
    const long long right = std::min<long long>(surface.width, std::max(x0, x1));
    const long long top = std::max(0LL, std::min(y0, y1));
    const long long bottom = std::min<long long>(surface.height, std::max(y0, y1));
    if (left >= right || top >= bottom)
        return S_OK;

    std::vector<int> columns;
    std::vector<std::uint32_t> row_pixels;
    try {
        columns.resize(static_cast<std::size_t>(right - left));
        row_pixels.resize(columns.size());
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    bool contiguous = true;
    for (long long X = left; X < right; ++X) {
        const double hx = x_src + (X + 0.5 - x) / cx * cx_src;
        const double column = std::floor(hx * picture_.width / hm_width);
        const int c = column < 0 || column >= picture_.width ? -1 : static_cast<int>(column);
        columns[static_cast<std::size_t>(X - left)] = c;
        if (c < 0 || (X > left && c != columns[static_cast<std::size_t>(X - left - 1)] + 1))
            contiguous = false;
    }

    const bool masked = !picture_.opaque.empty();
    const int count = static_cast<int>(right - left);
    for (long long Y = top; Y < bottom; ++Y) {
        const double hy = y_src + (Y + 0.5 - y) / cy * cy_src;
        const double row = std::floor((hm_height - hy) * picture_.height / hm_height);
        if (row < 0 || row >= picture_.height)
            continue;
        const std::size_t base = static_cast<std::size_t>(row) * picture_.width;
        const std::uint32_t *source = picture_.pixels + base;
        if (contiguous && !masked) {
            gdi_store_pixels(surface, static_cast<int>(left), static_cast<int>(Y),
                             source + columns[0], count);
            continue;
        }
        // Runs of visible pixels; transparent and outside pixels leave the bitmap as it was.
        int run = 0;
        for (int i = 0; i <= count; ++i) {
            const int c = i < count ? columns[static_cast<std::size_t>(i)] : -1;
            const bool visible = c >= 0 && (!masked || picture_.opaque[base + c]);
            if (visible) {
                row_pixels[static_cast<std::size_t>(run++)] = source[c];
                continue;
            }
            if (run > 0)
                gdi_store_pixels(surface, static_cast<int>(left) + i - run, static_cast<int>(Y),
                                 row_pixels.data(), run);
            run = 0;
        }
    }
    return S_OK;
}

} // namespace

HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL memory, BOOL delete_on_release, LPSTREAM *stream) {
    if (!stream)
        return E_INVALIDARG;
    *stream = nullptr;
    if (win32_should_fail(win32_fault::create_stream))
        return E_OUTOFMEMORY;
    const bool own_memory = memory == nullptr;
    if (own_memory) {
        memory = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!memory)
            return E_OUTOFMEMORY;
    } else {
        SetLastError(NO_ERROR);
        GlobalSize(memory);
        if (GetLastError() == ERROR_INVALID_HANDLE)
            return E_INVALIDARG;
    }
    auto *s = new (std::nothrow) hglobal_stream(memory, delete_on_release != FALSE);
    if (!s) {
        if (own_memory)
            GlobalFree(memory);
        return E_OUTOFMEMORY;
    }
    *stream = s;
    return S_OK;
}

HRESULT WINAPI OleLoadPicture(LPSTREAM stream, LONG size, BOOL, REFIID iid, LPVOID *object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!stream)
        return E_POINTER;
    if (!(iid == IID_IPicture || iid == IID_IUnknown))
        return E_NOINTERFACE;
    if (size <= 0)
        return CTL_E_INVALIDPICTURE;
    if (win32_should_fail(win32_fault::load_picture))
        return E_OUTOFMEMORY;

    std::vector<unsigned char> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    ULONG read = 0;
    if (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(size), &read)) ||
        read != static_cast<ULONG>(size))
        return CTL_E_INVALIDPICTURE;

    decoded_picture decoded;
    if (!decode_picture(bytes.data(), bytes.size(), &decoded))
        return CTL_E_INVALIDPICTURE;
    auto *picture = new (std::nothrow) picture_object(std::move(decoded));
    if (!picture)
        return E_OUTOFMEMORY;
    *object = static_cast<IPicture *>(picture);
    return S_OK;
}

int win32_live_streams() {
    return live_streams;
}
int win32_live_pictures() {
    return live_pictures;
}
