// The native set's BMP reader, our own: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel,
// bottom-up or top-down, channel masks for 16 and 32 bits, and run-length coded 4 and 8 bits.
// The headers were checked, and the rows found complete, before this runs.
#include "platform/decoders/picture_file.h"

#include <bit>
#include <cstring>

namespace {

// One colour channel of a 16- or 32-bit pixel, widened to 8 bits by repeating its bits, so
// that a full channel of any width is 255.
struct channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    explicit channel(std::uint32_t m) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            width = std::popcount(m);
        }
    }
    std::uint32_t operator()(std::uint32_t pixel) const {
        if (!width)
            return 0;
        std::uint32_t v = (pixel & mask) >> shift;
        if (width >= 8)
            return v >> (width - 8);
        v <<= 8 - width;
        for (int s = width; s < 8; s += width)
            v |= v >> s;
        return v & 0xFF;
    }
};

std::uint32_t u16_le(const unsigned char *p) {
    return p[0] | (std::uint32_t{p[1]} << 8);
}
std::uint32_t u32_le(const unsigned char *p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void decode_row(const bmp_layout &layout, const std::uint32_t *palette, const channel *channels,
                const unsigned char *row, int width, std::uint32_t *out) {
    switch (layout.bits) {
    case 1:
    case 4:
    case 8: {
        // Indexes fill each byte from its high bits.
        const int bits = layout.bits;
        const int per_byte = 8 / bits;
        const unsigned index_mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - bits * (x % per_byte + 1);
            out[x] = palette[(row[x / per_byte] >> shift) & index_mask];
        }
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x, row += 3)
            out[x] = (std::uint32_t{row[2]} << 16) | (std::uint32_t{row[1]} << 8) | row[0];
        break;
    case 16:
    case 32:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = layout.bits == 16 ? u16_le(row + 2 * x) : u32_le(row + 4 * x);
            out[x] = (channels[0](p) << 16) | (channels[1](p) << 8) | channels[2](p);
        }
        break;
    default:
        break;
    }
}

// Run-length coded rows, bottom first: a count and an index (two for 4 bits, alternating), or
// a zero and a code: 0 ends the row, 1 the picture, 2 moves right and up, and 3 or more
// starts that many literal indexes, padded to an even number of bytes. Pixels no code
// reaches stay black; codes past the picture's edge are dropped.
bool decode_rle(const unsigned char *data, std::size_t size, const bmp_layout &layout,
                const std::uint32_t *palette, decoded_picture *picture) {
    const bool four = layout.compression == bmp_rle4;
    const int width = picture->width, height = picture->height;
    std::memset(picture->pixels, 0,
                static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    int x = 0, y = 0; // y counts stored rows, from the bottom
    auto put = [&](unsigned index) {
        if (x < width && y < height)
            picture->pixels[static_cast<std::size_t>(height - 1 - y) * width + x] = palette[index];
        if (x < width)
            ++x;
    };
    std::size_t at = 0;
    for (;;) {
        if (size - at < 2)
            return y >= height; // the data ends: only after the last row is that complete
        const unsigned count = data[at], code = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i)
                put(four ? (i % 2 ? code & 15 : code >> 4) : code);
            continue;
        }
        if (code == 0) {
            x = 0;
            if (y < height)
                ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (size - at < 2)
                return false;
            x = x + data[at] < width ? x + data[at] : width;
            y = y + data[at + 1] < height ? y + data[at + 1] : height;
            at += 2;
        } else {
            std::size_t bytes = four ? (code + 1) / 2 : code;
            bytes += bytes % 2;
            if (size - at < bytes)
                return false;
            for (unsigned i = 0; i < code && x < width; ++i)
                put(four ? (i % 2 ? data[at + i / 2] & 15 : data[at + i / 2] >> 4) : data[at + i]);
            at += bytes;
        }
    }
}

} // namespace

bool decode_bmp(const unsigned char *bytes, std::size_t, const picture_header &header,
                decoded_picture *picture) {
    const bmp_layout &layout = header.bmp;
    if (!picture_allocate(picture, header.width, header.height, false))
        return false;

    // Indexes past the colours the file holds are black, not a read beyond them.
    std::uint32_t palette[256] = {};
    for (int i = 0; i < layout.palette_count; ++i) {
        const unsigned char *c = bytes + layout.palette_offset +
                                 static_cast<std::size_t>(i) * layout.palette_entry_bytes;
        palette[i] = (std::uint32_t{c[2]} << 16) | (std::uint32_t{c[1]} << 8) | c[0];
    }
    const unsigned char *data = bytes + layout.pixel_offset;
    if (layout.compression == bmp_rle8 || layout.compression == bmp_rle4)
        return decode_rle(data, layout.pixel_bytes, layout, palette, picture);

    const channel channels[3] = {channel(layout.masks[0]), channel(layout.masks[1]),
                                 channel(layout.masks[2])};
    const int width = header.width, height = header.height;
    for (int stored = 0; stored < height; ++stored) {
        const int y = layout.top_down ? stored : height - 1 - stored;
        decode_row(layout, palette, channels,
                   data + static_cast<std::size_t>(stored) * layout.row_bytes, width,
                   picture->pixels + static_cast<std::size_t>(y) * width);
    }
    return true;
}
