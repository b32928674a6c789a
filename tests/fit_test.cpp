// Fitting pictures of any size to the 320x200 frame.
#include "assets/fit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

struct placed {
    int left, top, width, height; // where the picture lands in the frame
};

// Every frame pixel outside the placed rectangle is black, every one inside is `inside`.
void expect_layout(const std::uint32_t *frame, const placed &p, std::uint32_t inside) {
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool in =
                x >= p.left && x < p.left + p.width && y >= p.top && y < p.top + p.height;
            if (frame[y * 320 + x] != (in ? inside : 0u) && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                              << frame[y * 320 + x];
        }
    EXPECT_EQ(wrong, 0);
}

TEST(FitPicture, KeepsTheAspectCentredOnBlack) {
    const struct {
        const char *what;
        int width, height;
        placed expected;
    } cases[] = {
        {"smaller, same shape", 160, 100, {0, 0, 320, 200}},
        {"larger, same shape", 640, 400, {0, 0, 320, 200}},
        {"wider", 640, 200, {0, 50, 320, 100}},
        {"taller", 100, 200, {110, 0, 100, 200}},
        {"taller and larger", 300, 600, {110, 0, 100, 200}},
        {"one pixel", 1, 1, {60, 0, 200, 200}},
        {"one row", 7, 1, {0, 77, 320, 46}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> picture(static_cast<std::size_t>(c.width) * c.height,
                                           0x00C08040);
        std::uint32_t *frame = fit_picture(picture.data(), c.width, c.height, 320, 200);
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(frame, picture.data());
        expect_layout(frame, c.expected, 0x00C08040);
        std::free(frame);
    }
}

TEST(FitPicture, AFrameSizedPictureIsReturnedItself) {
    std::vector<std::uint32_t> picture(64000, 0xFF123456);
    EXPECT_EQ(fit_picture(picture.data(), 320, 200, 320, 200), picture.data());
    EXPECT_EQ(picture[0], 0xFF123456u) << "untouched";
}

TEST(FitPicture, ShrinkingAveragesTheArea) {
    // 2x2 blocks of black and white checkers average to mid grey, whatever their phase.
    std::vector<std::uint32_t> picture(640 * 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            picture[static_cast<std::size_t>(y) * 640 + x] = (x + y) % 2 ? 0xFFFFFF : 0;
    std::uint32_t *frame = fit_picture(picture.data(), 640, 400, 320, 200);
    ASSERT_NE(frame, nullptr);
    expect_layout(frame, {0, 0, 320, 200}, 0x808080);
    std::free(frame);

    // A third: 960 columns into 320, each output the mean of three.
    std::vector<std::uint32_t> stripes(960 * 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 960; ++x)
            stripes[static_cast<std::size_t>(y) * 960 + x] = x % 3 == 0 ? 0x0000F0 : 0;
    frame = fit_picture(stripes.data(), 960, 600, 320, 200);
    ASSERT_NE(frame, nullptr);
    expect_layout(frame, {0, 0, 320, 200}, 0x000050);
    std::free(frame);
}

TEST(FitPicture, GrowingInterpolatesBetweenCentres) {
    // Two pixels, black and white, grown to 320: the ends keep their colour, the middle
    // runs evenly between them.
    const std::vector<std::uint32_t> picture = {0x000000, 0xFFFFFF};
    std::uint32_t *frame = fit_picture(const_cast<std::uint32_t *>(picture.data()), 2, 1, 320, 200);
    ASSERT_NE(frame, nullptr);
    const std::uint32_t *row = frame + 20 * 320; // 160 rows placed from row 20
    EXPECT_EQ(frame[19 * 320], 0u);
    EXPECT_EQ(row[0], 0u);
    EXPECT_EQ(row[79], 0u);
    EXPECT_EQ(row[319], 0xFFFFFFu);
    EXPECT_EQ(row[240], 0xFFFFFFu);
    for (int x = 81; x < 240; ++x) {
        EXPECT_GE(row[x] & 0xFF, row[x - 1] & 0xFF);
        EXPECT_EQ(row[x], (row[x] & 0xFF) * 0x010101u) << "grey stays grey";
    }
    EXPECT_NEAR(static_cast<int>(row[160] & 0xFF), 128, 2);
    std::free(frame);
}

TEST(FitPicture, RefusesSizesThatAreNotPositive) {
    std::uint32_t pixel = 0;
    EXPECT_EQ(fit_picture(&pixel, 0, 1, 320, 200), nullptr);
    EXPECT_EQ(fit_picture(&pixel, 1, -1, 320, 200), nullptr);
    EXPECT_EQ(fit_picture(&pixel, 1, 1, 0, 200), nullptr);
    EXPECT_EQ(fit_picture(nullptr, 1, 1, 320, 200), nullptr);
}

} // namespace
