// The native set's BMP reader through the decoders' interface: every layout it reads, pixel
// for pixel, and the damaged, truncated and oversized files it refuses. Each case writes its
// own small file.
#include "platform/decoders/decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

using bytes = std::vector<unsigned char>;

struct bmp_spec {
    std::uint32_t info_bytes = 40;      // 12 (the oldest header), 40, or 108 (with masks inside)
    std::int64_t width = 0, height = 0; // a negative height stores the rows top first
    int bits = 8;
    std::uint32_t compression = 0;           // 0 none, 1 RLE8, 2 RLE4, 3 channel masks
    std::vector<std::uint32_t> masks = {};   // red, green, blue (and alpha, in a 108-byte header)
    std::vector<std::uint32_t> palette = {}; // 0x00RRGGBB
    std::uint32_t used_colours = 0;
    bytes pixels = {};   // right after the colours, as stored: padded rows, bottom first unless
                         // top down, or the coded data
    std::size_t cut = 0; // bytes dropped from the end
};

void put(bytes &b, std::size_t at, std::uint64_t v, int n) {
    if (b.size() < at + n)
        b.resize(at + n, 0);
    for (int i = 0; i < n; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

bytes write_bmp(const bmp_spec &s) {
    bytes b;
    put(b, 0, 'B' | ('M' << 8), 2);
    put(b, 14, s.info_bytes, 4);
    if (s.info_bytes == 12) {
        put(b, 18, static_cast<std::uint64_t>(s.width), 2);
        put(b, 20, static_cast<std::uint64_t>(s.height), 2);
        put(b, 22, 1, 2);
        put(b, 24, static_cast<std::uint64_t>(s.bits), 2);
    } else {
        put(b, 18, static_cast<std::uint64_t>(s.width), 4);
        put(b, 22, static_cast<std::uint64_t>(s.height), 4);
        put(b, 26, 1, 2);
        put(b, 28, static_cast<std::uint64_t>(s.bits), 2);
        put(b, 30, s.compression, 4);
        put(b, 46, s.used_colours, 4);
        b.resize(14 + s.info_bytes, 0);
    }
    // Masks follow a 40-byte header; a larger one holds them at the same place.
    for (std::size_t i = 0; i < s.masks.size(); ++i)
        put(b, 54 + 4 * i, s.masks[i], 4);
    for (std::uint32_t colour : s.palette) {
        const std::size_t at = b.size();
        put(b, at, colour, s.info_bytes == 12 ? 3 : 4);
    }
    const std::size_t offset = b.size();
    put(b, 10, offset, 4);
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    put(b, 2, b.size(), 4);
    b.resize(b.size() - s.cut);
    return b;
}

const std::uint32_t P0 = 0x102030, P1 = 0xA0B0C0, P2 = 0x405060, P3 = 0xFFEEDD;
const std::vector<std::uint32_t> palette4 = {P0, P1, P2, P3};

TEST(BmpReader, ReadsEachLayoutPixelForPixel) {
    const struct {
        const char *what;
        bmp_spec spec;
        std::vector<std::uint32_t> expected; // top row first
    } cases[] = {
        {"1 bit, bottom up, rows padded past the bits",
         {.width = 10,
          .height = 2,
          .bits = 1,
          .palette = {P0, P1},
          .pixels = {0x80, 0x40, 0xFF, 0xFF, 0x7F, 0x80, 0xFF, 0xFF}},
         {P0, P1, P1, P1, P1, P1, P1, P1, P1, P0, P1, P0, P0, P0, P0, P0, P0, P0, P0, P1}},
        {"4 bits, top down, the last byte's low half unused",
         {.width = 3,
          .height = -2,
          .bits = 4,
          .palette = palette4,
          .pixels = {0x01, 0x2F, 0, 0, 0x32, 0x1F, 0, 0}},
         {P0, P1, P2, P3, P2, P1}},
        {"8 bits, three colours stored: an index past them is black",
         {.width = 2,
          .height = 1,
          .bits = 8,
          .palette = {P0, P1, P2},
          .used_colours = 3,
          .pixels = {2, 200, 0, 0}},
         {P2, 0}},
        {"8 bits in the oldest header, three-byte colours",
         {.info_bytes = 12,
          .width = 2,
          .height = 1,
          .bits = 8,
          .palette = {P0, P1},
          .pixels = {1, 0, 0, 0}},
         {P1, P0}},
        {"24 bits in the oldest header",
         {.info_bytes = 12,
          .width = 1,
          .height = 2,
          .bits = 24,
          .pixels = {0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0}},
         {0x665544, 0x332211}},
        {"16 bits, 5-5-5, the top bit ignored",
         {.width = 4,
          .height = 1,
          .bits = 16,
          .pixels = {0xFF, 0x7F, 0x00, 0x7C, 0x01, 0x80, 0xE0, 0x03}},
         {0xFFFFFF, 0xFF0000, 0x000008, 0x00FF00}},
        {"16 bits, 5-6-5 masks after the header",
         {.width = 3,
          .height = 1,
          .bits = 16,
          .compression = 3,
          .masks = {0xF800, 0x07E0, 0x001F},
          .pixels = {0x00, 0xF8, 0xE0, 0x07, 0x21, 0x08, 0xAA, 0xAA}},
         {0xFF0000, 0x00FF00, 0x080408}},
        {"32 bits, the fourth byte ignored",
         {.width = 2,
          .height = 1,
          .bits = 32,
          .pixels = {0x33, 0x22, 0x11, 0xFF, 0xCC, 0xBB, 0xAA, 0x7F}},
         {0x112233, 0xAABBCC}},
        {"32 bits, masks inside a larger header, red in the low byte, alpha ignored",
         {.info_bytes = 108,
          .width = 2,
          .height = 1,
          .bits = 32,
          .compression = 3,
          .masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
          .pixels = {0x11, 0x22, 0x33, 0x44, 0x00, 0x00, 0xFF, 0x00}},
         {0x112233, 0x0000FF}},
        {"32 bits, ten-bit masks keep their high eight bits",
         {.width = 1,
          .height = 1,
          .bits = 32,
          .compression = 3,
          .masks = {0x3FF00000, 0x000FFC00, 0x000003FF},
          .pixels = {0x01, 0x00, 0xF8, 0x3F}},
         {0xFF8000}},
        {"RLE8: runs, literals, line ends, a move; what no code reaches is black",
         {.width = 4,
          .height = 3,
          .bits = 8,
          .compression = 1,
          .palette = palette4,
          .pixels = {3, 1, 1, 2, 0, 0,       // bottom row: 1 1 1 2
                     0, 3, 2, 3, 1, 0, 0, 0, // literal 2 3 1, padded; the line ends
                     0, 2, 2, 0, 2, 3,       // two to the right, then 3 3
                     0, 1}},
         {0, 0, P3, P3, P2, P3, P1, 0, P1, P1, P1, P2}},
        {"RLE8: a run past the right edge is cut there",
         {.width = 2,
          .height = 1,
          .bits = 8,
          .compression = 1,
          .palette = palette4,
          .pixels = {9, 3, 0, 1}},
         {P3, P3}},
        {"RLE4: alternating runs and a padded literal",
         {.width = 5,
          .height = 2,
          .bits = 4,
          .compression = 2,
          .palette = palette4,
          .pixels = {0, 5, 0x01, 0x23, 0x10, 0, 0, 0, 5, 0x12, 0, 1}},
         {P1, P2, P1, P2, P1, P0, P1, P2, P3, P1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const bytes file = write_bmp(c.spec);
        decoded_picture picture;
        ASSERT_TRUE(decode_picture(file.data(), file.size(), &picture));
        EXPECT_EQ(picture.width, static_cast<int>(c.spec.width));
        EXPECT_EQ(picture.height,
                  static_cast<int>(c.spec.height < 0 ? -c.spec.height : c.spec.height));
        ASSERT_EQ(static_cast<std::size_t>(picture.width) * picture.height, c.expected.size());
        std::vector<std::uint32_t> got(c.expected.size());
        std::transform(picture.pixels, picture.pixels + got.size(), got.begin(),
                       [](std::uint32_t p) { return p & 0x00FFFFFF; }); // the top byte is free
        EXPECT_EQ(got, c.expected);
        EXPECT_TRUE(picture.opaque.empty()) << "a BMP is opaque";
    }
}

TEST(BmpReader, RefusesDamagedTruncatedAndOversizedFiles) {
    const bmp_spec good = {.width = 2,
                           .height = 2,
                           .bits = 8,
                           .palette = palette4,
                           .pixels = {0, 1, 0, 0, 2, 3, 0, 0}};
    auto with = [&](auto change) {
        bmp_spec s = good;
        change(s);
        return write_bmp(s);
    };
    const bytes file = write_bmp(good);
    auto patched = [](bytes b, std::size_t at, std::uint32_t value) {
        put(b, at, value, 4);
        return b;
    };
    const struct {
        const char *what;
        bytes file;
    } cases[] = {
        {"the last row's padding missing", with([](bmp_spec &s) { s.cut = 1; })},
        {"the header cut short", bytes(file.begin(), file.begin() + 40)},
        {"a header size no version has", with([](bmp_spec &s) { s.info_bytes = 20; })},
        {"a header larger than the file", patched(file, 14, 4000)},
        {"7 bits per pixel", with([](bmp_spec &s) { s.bits = 7; })},
        {"16 bits in the oldest header", with([](bmp_spec &s) {
             s.info_bytes = 12;
             s.bits = 16;
             s.palette = {};
         })},
        {"an unknown compression", with([](bmp_spec &s) { s.compression = 4; })},
        {"masks for 24 bits", with([](bmp_spec &s) {
             s.bits = 24;
             s.compression = 3;
             s.masks = {0xFF0000, 0xFF00, 0xFF};
         })},
        {"a mask with a gap", with([](bmp_spec &s) {
             s.bits = 16;
             s.compression = 3;
             s.masks = {0xF00F, 0x07E0, 0x001F};
             s.palette = {};
         })},
        {"masks cut short", with([](bmp_spec &s) {
             s.bits = 16;
             s.compression = 3;
             s.palette = {};
             s.pixels = {};
             s.masks = {0xF800};
         })},
        {"pixels inside the headers", patched(file, 10, 30)},
        {"pixels past the end of the file", patched(file, 10, 100000)},
        {"indexes without colours", with([](bmp_spec &s) { s.palette = {}; })},
        {"zero width", with([](bmp_spec &s) { s.width = 0; })},
        {"negative width", with([](bmp_spec &s) { s.width = -2; })},
        {"the most negative height", with([](bmp_spec &s) { s.height = INT_MIN; })},
        {"allowed size whose rows are not in the file",
         with([](bmp_spec &s) { s.width = s.height = 8192; })},
        {"run-length rows top down", with([](bmp_spec &s) {
             s.compression = 1;
             s.height = -2;
             s.pixels = {2, 1, 0, 0, 2, 1, 0, 1};
         })},
        {"run-length data ending before the last row", with([](bmp_spec &s) {
             s.compression = 1;
             s.pixels = {2, 1, 0, 0, 2, 1};
         })},
        {"a run-length literal past the end", with([](bmp_spec &s) {
             s.compression = 1;
             s.pixels = {0, 4, 1, 2};
         })},
        {"a run-length move cut short", with([](bmp_spec &s) {
             s.compression = 1;
             s.pixels = {0, 2, 1};
         })},
    };
    {
        decoded_picture picture;
        ASSERT_TRUE(decode_picture(file.data(), file.size(), &picture)) << "the good file";
    }
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        decoded_picture picture;
        EXPECT_FALSE(decode_picture(c.file.data(), c.file.size(), &picture));
        EXPECT_EQ(picture.pixels, nullptr) << "nothing is left behind";
    }
}

} // namespace
