// The frame effects, the random source and the timeline's positions.

#include "show/show.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// The blend as the show was written: red and blue in one product, green alone.
std::uint32_t reference_blend(std::uint32_t d, std::uint32_t s, int alpha) {
    const std::uint32_t a = static_cast<std::uint32_t>(alpha) & 0xFF, inv = 255 - a;
    const std::uint32_t rb = (((d & 0x00FF00FF) * inv + (s & 0x00FF00FF) * a) >> 8) & 0x00FF00FF;
    const std::uint32_t g = (((d & 0x0000FF00) * inv + (s & 0x0000FF00) * a) >> 8) & 0x0000FF00;
    return rb | g;
}

struct blend_case {
    std::uint32_t dst, src;
    int alpha;
    std::uint32_t expected;
};

TEST(BlendFrame, Values) {
    const blend_case cases[] = {
        {0x00000000, 0x00FFFFFF, 10, 0x00090909},  // black towards white
        {0x00FFFFFF, 0x00000000, 20, 0x00EAEAEA},  // white towards black
        {0x00FFFFFF, 0x00FFFFFF, 10, 0x00FEFEFE},  // weights sum to 255: itself darkens
        {0x00000000, 0x00FFFFFF, 266, 0x00090909}, // only the low 8 bits of alpha count
        {0xFF123456, 0xFF123456, 0, 0x00113355},   // top byte cleared, alpha 0 keeps 255/256
        {0x00000000, 0x00FFFFFF, 255, 0x00FEFEFE}, // no channel reaches 255
        {0x00FF0000, 0x000000FF, 128, 0x007E007F}, // red and blue do not spill into each other
    };
    for (const blend_case &c : cases) {
        std::uint32_t dst = c.dst;
        blend_frame(&dst, &c.src, 1, c.alpha);
        EXPECT_EQ(dst, c.expected)
            << std::hex << c.dst << " towards " << c.src << " alpha " << std::dec << c.alpha;
    }
}

// The vector paths against the scalar formula, with counts that leave tails of every length.
TEST(BlendFrame, MatchesFormulaAndTouchesOnlyCount) {
    std::uint32_t x = 12345;
    auto next = [&x] { return x = x * 1664525u + 1013904223u; };
    for (int count : {0, 1, 7, 8, 13, 31, 64, 1001, frame_pixels}) {
        for (int alpha : {0, 1, 10, 20, 127, 200, 255, 300, -1}) {
            std::vector<std::uint32_t> dst(count + 16), src(count + 16);
            for (auto &p : dst)
                p = next();
            for (auto &p : src)
                p = next();
            std::vector<std::uint32_t> expected = dst;
            for (int i = 0; i < count; ++i)
                expected[i] = reference_blend(dst[i], src[i], alpha);
            blend_frame(dst.data(), src.data(), count, alpha);
            ASSERT_EQ(dst, expected) << "count " << count << " alpha " << alpha;
        }
    }
}

TEST(BlendFrame, RepeatedFadesStopShortOfWhite) {
    // Repeated blending at alpha 10 towards white settles at 209.
    std::uint32_t pixel = 0, white = 0x00FFFFFF;
    for (int i = 0; i < 1000; ++i)
        blend_frame(&pixel, &white, 1, 10);
    EXPECT_EQ(pixel, 0x00D1D1D1u);

    // A whole fade frame on a pixel the noise leaves alone: towards the picture at 10, then
    // the unchanged copy mixed back at 20; it settles at 186.
    pixel = 0;
    for (int i = 0; i < 1000; ++i) {
        blend_frame(&pixel, &white, 1, 10);
        std::uint32_t copy = pixel;
        blend_frame(&pixel, &copy, 1, 20);
    }
    EXPECT_EQ(pixel, 0x00BABABAu);
}

TEST(NoiseFrame, AddsThenXorsOverTheWholeFrameOnly) {
    std::vector<std::uint32_t> frame(frame_pixels + 8, 0x00FFFFFF);
    frame[1] = 0;
    frame[2] = 0x00FFFF00; // no bit shared with 41: unchanged
    noise_frame(frame.data(), 41);
    EXPECT_EQ(frame[0], 0x01000001u);
    EXPECT_EQ(frame[1], 0u);
    EXPECT_EQ(frame[2], 0x00FFFF00u);
    EXPECT_EQ(frame[frame_pixels - 1], 0x01000001u);
    for (int i = frame_pixels; i < frame_pixels + 8; ++i)
        EXPECT_EQ(frame[i], 0x00FFFFFFu) << "beyond the frame at " << i;

    // Wrap-around addition.
    std::uint32_t all = 0xFFFFFFFF;
    std::vector<std::uint32_t> one(frame_pixels, all);
    noise_frame(one.data(), 1);
    EXPECT_EQ(one[0], 0x00000001u);
}

TEST(ShowRand, SequenceFromStateOne) {
    show_rand_state = 1;
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(show_rand(), value);
    for (int i = 0; i < 100000; ++i) {
        const int v = show_rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

struct timeline_case {
    std::int64_t position;
    show_phase phase;
    int picture; // for the fade phases
};

TEST(Timeline, PhaseAndPictureAtPosition) {
    const timeline_case cases[] = {
        {-1, phase_title, 0},
        {-100000000, phase_title, 0},
        {0, phase_title, 0},
        {2646000, phase_title, 0}, // t is just below 15, though show_time rounds to 15
        {2646001, phase_fade, 15},
        {5115600, phase_fade, 0},      // 29 s: round to picture 0
        {54 * 176400, phase_fade, 25}, // 54 s
        {9701999, phase_fade, 25},
        {9702000, phase_double_noise, 26}, // show_time rounds up to 55
        {67 * 176400, phase_double_noise, 9},
        {11995199, phase_double_noise, 9},
        {11995200, phase_strobe, 0},
        {INT64_MAX, phase_strobe, 0},
    };
    for (const timeline_case &c : cases) {
        EXPECT_EQ(timeline_phase(c.position), c.phase) << "position " << c.position;
        if (c.phase == phase_fade || c.phase == phase_double_noise) {
            EXPECT_EQ(fade_picture(c.position), c.picture) << "position " << c.position;
        }
    }
}

} // namespace
