// What every decoder set shares: telling the format, reading the header's size and layout,
// the limits, the checks for data that ends early, and the picture's block; decode_picture
// runs them all before handing the pixels to the set linked in.
#include "platform/decoders/picture_file.h"
#include "platform/win32/block_cache.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <cstring>
#include <new>
#include <utility>

namespace {

bool starts_with(const unsigned char *bytes, std::size_t size, const char *magic) {
    const std::size_t n = std::strlen(magic);
    return size >= n && std::memcmp(bytes, magic, n) == 0;
}

std::uint32_t u16_le(const unsigned char *p) {
    return p[0] | (std::uint32_t{p[1]} << 8);
}
std::uint32_t u32_le(const unsigned char *p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
std::uint32_t u16_be(const unsigned char *p) {
    return (std::uint32_t{p[0]} << 8) | p[1];
}

bool set_size(picture_header *header, std::int64_t width, std::int64_t height) {
    if (!picture_size_allowed(width, height))
        return false;
    header->width = static_cast<int>(width);
    header->height = static_cast<int>(height);
    return true;
}

// The size is in the first start-of-frame marker; everything before it is a marker segment
// with its length, or a marker without one.
bool read_jpeg_header(const unsigned char *bytes, std::size_t size, picture_header *header) {
    std::size_t at = 2;
    for (;;) {
        if (at >= size || bytes[at] != 0xFF)
            return false;
        while (at < size && bytes[at] == 0xFF) // fill bytes before a marker
            ++at;
        if (at >= size)
            return false;
        const unsigned char marker = bytes[at++];
        if (marker == 0x00)
            return false; // a stuffed zero belongs in scan data only
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // no length follows
        if (marker == 0xD9 || marker == 0xDA)
            return false; // the end, or scan data, before any frame
        if (size - at < 2)
            return false;
        const std::size_t length = u16_be(bytes + at);
        if (length < 2 || size - at < length)
            return false;
        // Start-of-frame markers: C0 to CF, except DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (length < 7)
                return false;
            return set_size(header, u16_be(bytes + at + 5), u16_be(bytes + at + 3));
        }
        at += length;
    }
}

// The logical screen gives the size; where a writer left it empty, the first image does.
bool read_gif_header(const unsigned char *bytes, std::size_t size, picture_header *header) {
    if (size < 13)
        return false;
    std::size_t at = 13;
    if (bytes[10] & 0x80) // the global colour table
        at += std::size_t{3} << ((bytes[10] & 7) + 1);
    if (at > size)
        return false;
    const std::uint32_t width = u16_le(bytes + 6), height = u16_le(bytes + 8);
    if (width > 0 && height > 0)
        return set_size(header, width, height);
    while (at < size) {
        if (bytes[at] == 0x2C) { // an image descriptor
            if (size - at < 10)
                return false;
            return set_size(header, u16_le(bytes + at + 1) + u16_le(bytes + at + 5),
                            u16_le(bytes + at + 3) + u16_le(bytes + at + 7));
        }
        if (bytes[at] != 0x21) // anything but an extension: no image follows
            return false;
        at += 2;
        for (;;) { // the extension's sub-blocks, up to an empty one
            if (at >= size)
                return false;
            const std::size_t length = bytes[at];
            at += 1 + length;
            if (length == 0)
                break;
        }
    }
    return false;
}

// A mask's bits must be contiguous; an empty mask gives a channel of zero.
bool mask_contiguous(std::uint32_t mask) {
    if (mask == 0)
        return true;
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// The BMP headers: the 14-byte file header, then the oldest 12-byte header or one of 40
// bytes or more (the larger ones add masks and colour-space fields to the same start).
bool read_bmp_header(const unsigned char *bytes, std::size_t size, picture_header *header) {
    bmp_layout &layout = header->bmp;
    if (size < 18)
        return false;
    const std::uint32_t pixel_offset = u32_le(bytes + 10);
    const std::uint32_t info_bytes = u32_le(bytes + 14);
    if (info_bytes > size - 14)
        return false;
    std::int64_t width = 0, height = 0;
    std::uint32_t used_colours = 0;
    std::size_t headers_end = 14 + std::size_t{info_bytes};
    if (info_bytes == 12) {
        width = u16_le(bytes + 18);
        height = u16_le(bytes + 20);
        layout.bits = static_cast<int>(u16_le(bytes + 24));
        layout.compression = bmp_rgb;
        layout.palette_entry_bytes = 3;
    } else if (info_bytes >= 40) {
        width = static_cast<std::int32_t>(u32_le(bytes + 18));
        height = static_cast<std::int32_t>(u32_le(bytes + 22));
        layout.bits = static_cast<int>(u16_le(bytes + 28));
        layout.compression = u32_le(bytes + 30);
        used_colours = u32_le(bytes + 46);
        layout.palette_entry_bytes = 4;
    } else {
        return false;
    }
    if (height < 0) {
        layout.top_down = true;
        height = -height;
    }
    if (!set_size(header, width, height))
        return false;

    const int bits = layout.bits;
    switch (layout.compression) {
    case bmp_rgb:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return false;
        if (info_bytes == 12 && bits != 1 && bits != 4 && bits != 8 && bits != 24)
            return false;
        break;
    case bmp_rle8:
    case bmp_rle4:
        // Compressed rows are always stored bottom first.
        if (bits != (layout.compression == bmp_rle8 ? 8 : 4) || layout.top_down)
            return false;
        break;
    case bmp_bitfields:
        if (bits != 16 && bits != 32)
            return false;
        if (info_bytes < 52) { // the masks follow the header
            if (size - headers_end < 12)
                return false;
            headers_end += 12;
        }
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = u32_le(bytes + 54 + 4 * i);
        break;
    default:
        return false;
    }
    if (layout.compression == bmp_rgb && bits == 16) {
        layout.masks[0] = 0x7C00; // 5-5-5
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else if (layout.compression == bmp_rgb && bits == 32) {
        layout.masks[0] = 0xFF0000;
        layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
    }
    if (std::any_of(std::begin(layout.masks), std::end(layout.masks), [bits](std::uint32_t m) {
            return !mask_contiguous(m) || (bits == 16 && m > 0xFFFF);
        }))
        return false;

    // Pixels start after the headers; an offset inside them is damage.
    if (pixel_offset < headers_end || pixel_offset > size)
        return false;
    layout.pixel_offset = pixel_offset;
    if (bits <= 8) {
        // Only the entries stored before the pixels count: writers that state fewer than
        // the depth allows store fewer. A picture with indexes and no colours is damaged.
        std::uint32_t declared = std::uint32_t{1} << bits;
        if (used_colours != 0 && used_colours < declared)
            declared = used_colours;
        const std::size_t stored = (pixel_offset - headers_end) / layout.palette_entry_bytes;
        layout.palette_offset = headers_end;
        layout.palette_count = static_cast<int>(declared < stored ? declared : stored);
        if (layout.palette_count == 0)
            return false;
    }

    if (layout.compression == bmp_rle8 || layout.compression == bmp_rle4) {
        layout.pixel_bytes = size - pixel_offset; // the end-of-bitmap code tells the rest
        return true;
    }
    // Every stored row, padding included, must be in the file.
    const std::uint64_t row_bytes =
        (static_cast<std::uint64_t>(header->width) * bits + 31) / 32 * 4;
    const std::uint64_t pixel_bytes = row_bytes * static_cast<std::uint64_t>(header->height);
    if (pixel_bytes > size - pixel_offset)
        return false;
    layout.row_bytes = static_cast<std::size_t>(row_bytes);
    layout.pixel_bytes = static_cast<std::size_t>(pixel_bytes);
    return true;
}

} // namespace

picture_format picture_format_of(const unsigned char *bytes, std::size_t size) {
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return picture_format::jpeg;
    if (starts_with(bytes, size, "GIF87a") || starts_with(bytes, size, "GIF89a"))
        return picture_format::gif;
    if (starts_with(bytes, size, "BM"))
        return picture_format::bmp;
    return picture_format::unknown;
}

bool read_picture_header(const unsigned char *bytes, std::size_t size, picture_header *header) {
    *header = {};
    header->format = picture_format_of(bytes, size);
    switch (header->format) {
    case picture_format::jpeg:
        return read_jpeg_header(bytes, size, header);
    case picture_format::gif:
        return read_gif_header(bytes, size, header);
    case picture_format::bmp:
        return read_bmp_header(bytes, size, header);
    case picture_format::unknown:
        break;
    }
    return false;
}

bool picture_allocate(decoded_picture *picture, int width, int height, bool with_mask) {
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
    if (!bytes || !picture)
        return false;
    picture_header header;
    if (!read_picture_header(bytes, size, &header))
        return false;
    bool ok = false;
    switch (header.format) {
    case picture_format::jpeg:
        ok = decode_jpeg(bytes, size, header, picture);
        break;
    case picture_format::gif:
        ok = decode_gif(bytes, size, header, picture);
        break;
    case picture_format::bmp:
        ok = decode_bmp(bytes, size, header, picture);
        break;
    case picture_format::unknown:
        break;
    }
    if (!ok)
        picture->release(); // no half-decoded picture is left behind
    return ok;
}
