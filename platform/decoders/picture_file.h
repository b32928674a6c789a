#pragma once
// Inside the decoders: what every decoder set does with a picture file before its pixels.
// The format from the magic bytes, the size from the header, the limits and whether the data
// ends early are checked here once, so that each set only decodes pixels; and the block a
// picture is decoded into is allocated here.

#include "platform/decoders/decoders.h"

#include <cstddef>
#include <cstdint>

enum class picture_format { unknown, jpeg, gif, bmp };

picture_format picture_format_of(const unsigned char *bytes, std::size_t size);

// A BMP file's layout, from its headers. Compression values are the file's own.
enum bmp_compression : std::uint32_t {
    bmp_rgb = 0,
    bmp_rle8 = 1,
    bmp_rle4 = 2,
    bmp_bitfields = 3,
};

struct bmp_layout {
    int bits = 0; // per pixel: 1, 4, 8, 16, 24 or 32
    std::uint32_t compression = bmp_rgb;
    bool top_down = false;
    std::size_t pixel_offset = 0; // of the first stored row
    std::size_t pixel_bytes = 0;  // from pixel_offset on: every row, or the compressed data
    std::size_t row_bytes = 0;    // a stored row with its padding (uncompressed only)
    std::uint32_t masks[3] = {};  // red, green, blue, for 16 and 32 bits
    std::size_t palette_offset = 0;
    int palette_entry_bytes = 4; // 3 in the oldest header
    int palette_count = 0;       // entries present in the file, at most 256
};

struct picture_header {
    picture_format format = picture_format::unknown;
    int width = 0;
    int height = 0;
    bmp_layout bmp; // for BMP only
};

// Reads the header: false when the format is unknown, the header is damaged or ends early,
// the size is beyond the limits, or (where the header tells how much follows, as in BMP)
// the data ends early.
bool read_picture_header(const unsigned char *bytes, std::size_t size, picture_header *header);

// Replaces the picture with an allocated one of this size, its pixels not yet written; with
// a mask, every pixel starts transparent. False beyond the limits or out of memory.
bool picture_allocate(decoded_picture *picture, int width, int height, bool with_mask);

// What each decoder set defines: the pixels of a file whose header passed the checks above.
bool decode_jpeg(const unsigned char *bytes, std::size_t size, const picture_header &header,
                 decoded_picture *picture);
bool decode_gif(const unsigned char *bytes, std::size_t size, const picture_header &header,
                decoded_picture *picture);
bool decode_bmp(const unsigned char *bytes, std::size_t size, const picture_header &header,
                decoded_picture *picture);
