// The SDL host's sharp scaling on the processor against the scaling it stands for, worked
// out here in floating point: nearest-neighbour to the whole multiple, then linear (as a
// GPU samples it, at pixel centres, clamped at the edges) to the final size.
#include "platform/host/sdl/sharp_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

int channel(std::uint32_t p, int shift) {
    return static_cast<int>(p >> shift & 0xFF);
}

TEST(SharpScale, TextureRowsAreTheWholeMultipleStretchedDown) {
    struct scale_case {
        int src_w, src_h, dst_w, dst_h;
        int tex_w; // expected: the source width where dst_w is a multiple of it
    };
    const scale_case cases[] = {
        {320, 200, 960, 720, 320},    // 1280x720: 3x across exactly, 600 rows to 720
        {320, 200, 1440, 1080, 1440}, // 1920x1080: 4x, then linear both ways
        {320, 200, 320, 240, 320},    // smaller than twice: 1x
        {5, 3, 13, 11, 13},           // odd sizes, blended at every boundary
        {4, 2, 8, 4, 4},              // an exact multiple: every row a source row
    };
    for (const scale_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.src_w) + "x" + std::to_string(c.src_h) + " to " +
                     std::to_string(c.dst_w) + "x" + std::to_string(c.dst_h));
        const sharp_plan plan = plan_sharp(c.src_w, c.src_h, c.dst_w, c.dst_h);
        ASSERT_EQ(plan.tex_w, c.tex_w);
        ASSERT_EQ(plan.tex_h, c.dst_h);

        // Pixels that differ everywhere, in a surface with padding at the end of each row.
        const int src_pitch = c.src_w * 4 + 12;
        std::vector<unsigned char> src(static_cast<std::size_t>(src_pitch) * c.src_h);
        for (int y = 0; y < c.src_h; ++y)
            for (int x = 0; x < c.src_w; ++x) {
                const auto p = static_cast<std::uint32_t>((x * 37 + y * 91) * 2654435761u);
                std::memcpy(&src[static_cast<std::size_t>(y * src_pitch + x * 4)], &p, 4);
            }
        auto source = [&](int x, int y) {
            std::uint32_t p;
            std::memcpy(&p, &src[static_cast<std::size_t>(y * src_pitch + x * 4)], 4);
            return p;
        };
        const int tex_pitch = plan.tex_w * 4 + 4;
        std::vector<unsigned char> tex(static_cast<std::size_t>(tex_pitch) * plan.tex_h);
        for (const bool swap : {false, true}) { // red and blue where OpenGL wants them
            SCOPED_TRACE(swap ? "red and blue swapped" : "as the frame");
            run_sharp(plan, src.data(), src_pitch, tex.data(), tex_pitch, swap);

            // One axis of the reference: final line i from the whole multiple's lines.
            const int m = plan.multiple;
            struct tap {
                int a, b;
                double f;
            };
            auto taps = [m](int i, int count, int final) {
                const int tall = count * m;
                const double v = std::max(0.0, (i + 0.5) * tall / final - 0.5);
                const int i0 = std::min(static_cast<int>(v), tall - 1);
                return tap{i0 / m, std::min(i0 + 1, tall - 1) / m, v - i0};
            };
            int off = 0; // channels off the exact value by more than rounding (twice, in 256ths)
            for (int y = 0; y < plan.tex_h; ++y) {
                const tap ty = taps(y, c.src_h, c.dst_h);
                for (int x = 0; x < plan.tex_w; ++x) {
                    const tap tx = plan.tex_w == c.src_w ? tap{x, x, 0} : taps(x, c.src_w, c.dst_w);
                    std::uint32_t got;
                    std::memcpy(&got, &tex[static_cast<std::size_t>(y * tex_pitch + x * 4)], 4);
                    if (swap)
                        got = (got & 0xFF00FF00u) | (got >> 16 & 0xFFu) | (got & 0xFFu) << 16;
                    for (int shift : {0, 8, 16}) {
                        auto across = [&](int sy) {
                            return channel(source(tx.a, sy), shift) * (1 - tx.f) +
                                   channel(source(tx.b, sy), shift) * tx.f;
                        };
                        const double want = across(ty.a) * (1 - ty.f) + across(ty.b) * ty.f;
                        off += std::fabs(channel(got, shift) - want) > 1.5 ? 1 : 0;
                    }
                }
            }
            EXPECT_EQ(off, 0);
        }
    }
}

} // namespace
