// The row converters: their values, and that a row writes exactly its own bytes.
#include "fb/fb_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct value_case {
    std::uint32_t pixel;
    std::uint16_t rgb565;
    std::uint16_t rgb555;
};

const value_case value_cases[] = {
    {0x00FFFFFF, 0xFFFF, 0x7FFF},
    {0x00123456, 0x11AA, 0x08CA},
    {0x00808080, 0x8410, 0x4210},
    {0x00F8FCF8, 0xFFFF, 0x7FFF},
    {0x00070307, 0x0000, 0x0000},
    {0x00FF0000, 0xF800, 0x7C00},
    {0x0000FF00, 0x07E0, 0x03E0},
    {0x000000FF, 0x001F, 0x001F},
    {0x00000000, 0x0000, 0x0000},
    // The top byte carries no colour.
    {0xFF123456, 0x11AA, 0x08CA},
    {0xFF000000, 0x0000, 0x0000},
};

// Every case at every position of rows long enough for the vector loops and their tails.
TEST(Converters, ValuesAtEveryPositionOfARow) {
    const int n = static_cast<int>(sizeof(value_cases) / sizeof(value_cases[0]));
    for (int count : {1, 7, 16, 33, 320}) {
        std::vector<std::uint32_t> row(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            row[static_cast<std::size_t>(i)] = value_cases[i % n].pixel;
        std::vector<unsigned char> out565(2 * row.size()), out555(2 * row.size()),
            out888(3 * row.size()), out32(4 * row.size());
        convert_rgb565(out565.data(), row.data(), count);
        convert_rgb555(out555.data(), row.data(), count);
        convert_rgb888(out888.data(), row.data(), count);
        copy_pixels32(out32.data(), row.data(), count);
        for (int i = 0; i < count; ++i) {
            const value_case &c = value_cases[i % n];
            std::size_t k = static_cast<std::size_t>(i);
            SCOPED_TRACE(testing::Message()
                         << "count " << count << " pixel " << i << " 0x" << std::hex << c.pixel);
            EXPECT_EQ(out565[2 * k] | (out565[2 * k + 1] << 8), c.rgb565);
            EXPECT_EQ(out555[2 * k] | (out555[2 * k + 1] << 8), c.rgb555);
            EXPECT_EQ(out888[3 * k], c.pixel & 0xFF);
            EXPECT_EQ(out888[3 * k + 1], (c.pixel >> 8) & 0xFF);
            EXPECT_EQ(out888[3 * k + 2], (c.pixel >> 16) & 0xFF);
            std::uint32_t copied;
            std::memcpy(&copied, &out32[4 * k], 4);
            EXPECT_EQ(copied, c.pixel); // the 32-bit copy keeps the top byte
        }
    }
}

struct extent_case {
    const char *name;
    pixel_converter convert;
    int bytes_per_pixel;
};

// A row writes bytes_per_pixel x count bytes, all of them, and nothing around them: a
// 320-pixel row is 960 bytes at 24 bits and 640 at 16 and 15.
TEST(Converters, WriteExactlyTheirRow) {
    const extent_case cases[] = {{"copy_pixels32", copy_pixels32, 4},
                                 {"convert_rgb888", convert_rgb888, 3},
                                 {"convert_rgb565", convert_rgb565, 2},
                                 {"convert_rgb555", convert_rgb555, 2}};
    const int guard = 64;
    for (const extent_case &c : cases) {
        for (int count : {1, 3, 15, 16, 17, 31, 320, 321}) {
            SCOPED_TRACE(testing::Message() << c.name << " count " << count);
            std::vector<std::uint32_t> row(static_cast<std::size_t>(count), 0x00FFFFFF);
            std::size_t row_bytes = static_cast<std::size_t>(count * c.bytes_per_pixel);
            std::vector<unsigned char> out(row_bytes + 2 * guard, 0x5A);
            c.convert(out.data() + guard, row.data(), count);
            for (std::size_t i = 0; i < out.size(); ++i) {
                bool inside = i >= guard && i < guard + row_bytes;
                // White is all ones in every format but the unused top bits.
                if (!inside)
                    ASSERT_EQ(out[i], 0x5A) << "byte " << i;
                else
                    ASSERT_NE(out[i], 0x5A) << "byte " << i;
            }
        }
    }
}

TEST(Converters, ChosenByBitCountAlone) {
    EXPECT_EQ(fb_select_converter(32), copy_pixels32);
    EXPECT_EQ(fb_select_converter(24), convert_rgb888);
    EXPECT_EQ(fb_select_converter(16), convert_rgb565);
    EXPECT_EQ(fb_select_converter(15), convert_rgb555);
    for (int bits : {0, 1, 4, 8, 12, 31, 33})
        EXPECT_EQ(fb_select_converter(bits), nullptr) << bits;
}

} // namespace
