#include "platform/win32/decode.h"
#include "platform/win32/block_cache.h"

#include <SDL.h>
#include <gif_lib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

namespace {

bool starts_with(const unsigned char *bytes, std::size_t size, const char *magic) {
    const std::size_t n = std::strlen(magic);
    return size >= n && std::memcmp(bytes, magic, n) == 0;
}

bool allocate(decoded_picture *picture, int width, int height, bool with_mask) {
    if (!picture_size_allowed(width, height))
        return false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    picture->release();
    // Decoders write every pixel that their mask, if any, shows.
    picture->pixels = static_cast<std::uint32_t *>(block_take(count * 4, false));
    if (!picture->pixels)
        return false;
    try {
        if (with_mask)
            picture->opaque.assign(count, 0);
    } catch (const std::bad_alloc &) {
        picture->release();
        return false;
    }
    picture->width = width;
    picture->height = height;
    return true;
}

bool decode_jpeg(const unsigned char *bytes, std::size_t size, decoded_picture *picture) {
    // One decompressor for the process: creating it costs more than a small picture.
    static tjhandle decompressor = tjInitDecompress();
    if (!decompressor)
        return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decompressor, bytes, size, &width, &height, &subsampling,
                            &colorspace) != 0)
        return false;
    if (!allocate(picture, width, height, false))
        return false;
    // Warnings count as failures too: a truncated or corrupted file is not a picture.
    return tjDecompress2(decompressor, bytes, size,
                         reinterpret_cast<unsigned char *>(picture->pixels), width, 0, height,
                         TJPF_BGRX, 0) == 0;
}

struct gif_source {
    const unsigned char *bytes;
    std::size_t size;
    std::size_t offset;
};

int read_gif(GifFileType *gif, GifByteType *buffer, int length) {
    auto *source = static_cast<gif_source *>(gif->UserData);
    std::size_t n = source->size - source->offset;
    if (length < 0)
        return 0;
    if (n > static_cast<std::size_t>(length))
        n = static_cast<std::size_t>(length);
    std::memcpy(buffer, source->bytes + source->offset, n);
    source->offset += n;
    return static_cast<int>(n);
}

// Reads the first image of the file (and the control block before it) into the picture,
// which has the logical screen's size. Outside the image the picture is transparent.
bool read_first_gif_frame(GifFileType *gif, decoded_picture *picture) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == TERMINATE_RECORD_TYPE)
            return false;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            }
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return false;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif) == GIF_ERROR)
            return false;
        const GifImageDesc &image = gif->Image;
        const ColorMapObject *colours = image.ColorMap ? image.ColorMap : gif->SColorMap;
        if (!colours || image.Width <= 0 || image.Height <= 0)
            return false;
        // Some writers leave the logical screen empty; the image then gives the size.
        int width = gif->SWidth, height = gif->SHeight;
        if (width <= 0 || height <= 0) {
            width = image.Left + image.Width;
            height = image.Top + image.Height;
        }
        // Only a picture that can have holes needs a mask.
        const bool covers =
            image.Left == 0 && image.Top == 0 && image.Width >= width && image.Height >= height;
        const bool masked = !covers || transparent != NO_TRANSPARENT_COLOR;
        if (!allocate(picture, width, height, masked))
            return false;

        // Indexes past the colour table are black, not a read beyond it.
        std::uint32_t palette[256] = {};
        for (int i = 0; i < colours->ColorCount && i < 256; ++i) {
            const GifColorType &c = colours->Colors[i];
            palette[i] = (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
        std::vector<GifPixelType> line;
        try {
            line.resize(static_cast<std::size_t>(image.Width));
        } catch (const std::bad_alloc &) {
            return false;
        }
        static const int pass_start[] = {0, 4, 2, 1};
        static const int pass_step[] = {8, 8, 4, 2};
        const int passes = image.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int first = image.Interlace ? pass_start[pass] : 0;
            const int step = image.Interlace ? pass_step[pass] : 1;
            for (int r = first; r < image.Height; r += step) {
                if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR)
                    return false;
                const int y = image.Top + r;
                if (y >= height)
                    continue;
                const std::size_t row = static_cast<std::size_t>(y) * width + image.Left;
                const int count = std::min(image.Width, width - image.Left);
                if (!masked) {
                    for (int c = 0; c < count; ++c)
                        picture->pixels[row + c] = palette[line[static_cast<std::size_t>(c)]];
                    continue;
                }
                for (int c = 0; c < count; ++c) {
                    const int index = line[static_cast<std::size_t>(c)];
                    if (index == transparent)
                        continue;
                    picture->pixels[row + c] = palette[index];
                    picture->opaque[row + c] = 1;
                }
            }
        }
        return true;
    }
}

bool decode_gif(const unsigned char *bytes, std::size_t size, decoded_picture *picture) {
    gif_source source = {bytes, size, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&source, read_gif, &error);
    if (!gif)
        return false;
    const bool ok = read_first_gif_frame(gif, picture);
    DGifCloseFile(gif, &error);
    if (!ok)
        return false;
    // A picture without a transparent pixel draws faster without its mask.
    bool all_opaque = !picture->opaque.empty();
    for (std::uint8_t o : picture->opaque)
        if (!o) {
            all_opaque = false;
            break;
        }
    if (all_opaque)
        picture->opaque = {};
    return true;
}

std::int64_t read_le(const unsigned char *p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    if (bytes == 4)
        return static_cast<std::int32_t>(v);
    return v;
}

bool decode_bmp(const unsigned char *bytes, std::size_t size, decoded_picture *picture) {
    // The size is checked here, before SDL allocates anything for it.
    if (size < 26 || size > INT_MAX)
        return false;
    const std::int64_t header = read_le(bytes + 14, 4);
    std::int64_t width, height;
    if (header == 12) {
        width = read_le(bytes + 18, 2);
        height = read_le(bytes + 20, 2);
    } else {
        width = read_le(bytes + 18, 4);
        height = read_le(bytes + 22, 4);
    }
    if (height < 0)
        height = -height;
    if (!picture_size_allowed(width, height))
        return false;

    SDL_RWops *rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    if (!rw)
        return false;
    SDL_Surface *loaded = SDL_LoadBMP_RW(rw, 1);
    if (!loaded)
        return false;
    SDL_Surface *rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    if (!rgb)
        return false;
    bool ok = allocate(picture, rgb->w, rgb->h, false) && SDL_LockSurface(rgb) == 0;
    if (ok) {
        for (int y = 0; y < rgb->h; ++y)
            std::memcpy(&picture->pixels[static_cast<std::size_t>(y) * rgb->w],
                        static_cast<const unsigned char *>(rgb->pixels) +
                            static_cast<std::size_t>(y) * rgb->pitch,
                        static_cast<std::size_t>(rgb->w) * 4);
        SDL_UnlockSurface(rgb);
    }
    SDL_FreeSurface(rgb);
    return ok;
}

} // namespace

decoded_picture::decoded_picture(decoded_picture &&other) noexcept
    : width(other.width), height(other.height), pixels(other.pixels),
      opaque(std::move(other.opaque)) {
    other.pixels = nullptr;
    other.width = other.height = 0;
}

decoded_picture &decoded_picture::operator=(decoded_picture &&other) noexcept {
    if (this != &other) {
        release();
        width = other.width;
        height = other.height;
        pixels = other.pixels;
        opaque = std::move(other.opaque);
        other.pixels = nullptr;
        other.width = other.height = 0;
    }
    return *this;
}

decoded_picture::~decoded_picture() {
    release();
}

void decoded_picture::release() {
    if (pixels)
        block_give(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    pixels = nullptr;
    width = height = 0;
    opaque = {};
}

bool picture_size_allowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= picture_max_side && height <= picture_max_side &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 <=
               picture_max_bytes;
}

bool decode_picture(const unsigned char *bytes, std::size_t size, decoded_picture *picture) {
    if (!bytes)
        return false;
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return decode_jpeg(bytes, size, picture);
    if (starts_with(bytes, size, "GIF87a") || starts_with(bytes, size, "GIF89a"))
        return decode_gif(bytes, size, picture);
    if (starts_with(bytes, size, "BM"))
        return decode_bmp(bytes, size, picture);
    return false;
}
