// Pictures decoded while the display is open take the depth of the mode it set.
#include "assets/assets.h"
#include "fb/fb.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/counts.h"
#include "tests/picture_files.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint32_t> load_colours() {
    std::uint32_t *pixels = nullptr;
    int w = 0, h = 0;
    if (!load_image("c.bmp", &pixels, &w, &h))
        return {};
    std::vector<std::uint32_t> v(pixels, pixels + static_cast<std::size_t>(w) * h);
    std::free(pixels);
    return v;
}

TEST(AssetsOnTheDisplay, AFullScreenModeSetsThePicturesPrecision) {
    data_folder data;
    ASSERT_TRUE(data.ready());
    const std::vector<std::uint32_t> colours = {0xFFFFFF, 0x123456, 0x070307};
    ASSERT_TRUE(data.write("c.bmp", make_bmp(3, 1, colours)));
    const win32_live_objects before = win32_live_object_counts();

    const struct {
        int only_depth;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        // Full screen tries 32, 24 and 16 bits.
        {16, {0xF8FCF8, 0x103450, 0x000000}},
        {24, colours},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.only_depth);
        headless_config config = headless_default_config();
        config.mode_bits = {c.only_depth, 0, 0, 0, 0};
        headless_configure(config);
        ASSERT_EQ(fb_open("Ulvo", 320, 200, 1), 1);
        EXPECT_EQ(load_colours(), c.expected);
        fb_close();
        EXPECT_EQ(load_colours(), colours) << "back on the 32-bit desktop";
    }
    headless_configure(headless_default_config());
    EXPECT_TRUE(win32_live_object_counts() == before);
}

} // namespace
