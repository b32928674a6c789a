#include "assets/assets.h"

#include "platform/winapi.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures beyond these give no picture rather than an enormous bitmap and pixel block.
const int max_picture_side = 16384;
const std::uint64_t max_picture_bytes = std::uint64_t{256} << 20;

data_file *fail_open_file(data_file *file, std::FILE *f) {
    if (f)
        std::fclose(f);
    std::free(file);
    return nullptr;
}

} // namespace

data_file *load_data_file(const char *name) {
    auto *file = static_cast<data_file *>(std::malloc(sizeof(data_file)));
    if (!file)
        return nullptr;
    // A name too long for the buffer would otherwise open a truncated, different path.
    char path[256];
    const int length = std::snprintf(path, sizeof path, "data/%s", name);
    if (length < 0 || length >= static_cast<int>(sizeof path))
        return fail_open_file(file, nullptr);
    std::FILE *f = std::fopen(path, "rb");
    if (!f)
        return fail_open_file(file, nullptr);
    // A folder opens on some systems but cannot be read: probe before trusting its size.
    if (std::fgetc(f) == EOF && std::ferror(f))
        return fail_open_file(file, f);
    if (std::fseek(f, 0, SEEK_END) != 0)
        return fail_open_file(file, f);
    const long size = std::ftell(f);
    if (size < 0 || size > INT32_MAX)
        return fail_open_file(file, f);
    std::rewind(f);
    file->size = static_cast<std::int32_t>(size);
    // At least one byte, so that an empty file is a record too and not an allocation failure.
    file->bytes = static_cast<unsigned char *>(std::malloc(size > 0 ? size : 1));
    if (!file->bytes)
        return fail_open_file(file, f);
    // A short read is not the file.
    if (std::fread(file->bytes, 1, file->size, f) != static_cast<std::size_t>(file->size) ||
        std::ferror(f)) {
        std::free(file->bytes);
        return fail_open_file(file, f);
    }
    std::fclose(f);
    return file;
}

int free_data_file(data_file *file) {
    if (!file)
        return 0;
    std::free(file->bytes);
    file->bytes = nullptr;
    file->size = 0;
    std::free(file);
    return 0;
}

int load_image(const char *name, std::uint32_t **out_pixels, int *out_width, int *out_height) {
    data_file *file = load_data_file(name);
    if (!file)
        return 0;
    if (out_width)
        *out_width = 0;
    if (out_height)
        *out_height = 0;
    *out_pixels = nullptr;

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, file->size);
    if (!memory) {
        free_data_file(file);
        return 0;
    }
    void *locked = GlobalLock(memory);
    if (!locked) {
        GlobalFree(memory);
        free_data_file(file);
        return 0;
    }
    std::memcpy(locked, file->bytes, file->size);
    GlobalUnlock(memory);

    IStream *stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)) || !stream) {
        GlobalFree(memory);
        free_data_file(file);
        return 0;
    }
    IPicture *picture = nullptr;
    const HRESULT loaded = OleLoadPicture(stream, file->size, FALSE, IID_IPicture,
                                          reinterpret_cast<LPVOID *>(&picture));
    stream->Release();
    free_data_file(file);
    if (FAILED(loaded) || !picture)
        return 0;

    OLE_XSIZE_HIMETRIC hm_width = 0;
    OLE_YSIZE_HIMETRIC hm_height = 0;
    picture->get_Width(&hm_width);
    picture->get_Height(&hm_height);

    HDC screen = GetDC(nullptr);
    const int width = MulDiv(hm_width, GetDeviceCaps(screen, LOGPIXELSX), 2540);
    const int height = MulDiv(hm_height, GetDeviceCaps(screen, LOGPIXELSY), 2540);
    if (width <= 0 || height <= 0 || width > max_picture_side || height > max_picture_side ||
        std::uint64_t{4} * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            max_picture_bytes) {
        ReleaseDC(nullptr, screen);
        picture->Release();
        return 0;
    }

    // What the rest relies on is checked too: a picture that was not drawn or not read back
    // is no picture, not uninitialised memory reported as one.
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC memory_dc = CreateCompatibleDC(screen);
    bool drawn = false;
    if (bitmap && memory_dc) {
        SelectObject(memory_dc, bitmap);
        drawn = SUCCEEDED(picture->Render(memory_dc, 0, 0, width, height, 0, hm_height, hm_width,
                                          -hm_height, nullptr));
    }
    picture->Release();

    std::uint32_t *pixels = nullptr;
    if (drawn)
        pixels = static_cast<std::uint32_t *>(
            std::malloc(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4));
    if (pixels) {
        BITMAPINFO info;
        std::memset(&info, 0, sizeof info);
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        if (GetDIBits(memory_dc, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) != height) {
            std::free(pixels);
            pixels = nullptr;
        }
    }
    if (memory_dc)
        DeleteDC(memory_dc);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    if (!pixels)
        return 0;

    if (out_width)
        *out_width = width;
    if (out_height)
        *out_height = height;
    *out_pixels = pixels;
    return 1;
}
