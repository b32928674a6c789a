#include "assets/fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// How each of `to` samples along one axis is made from `from` source samples: an area
// average when shrinking, linear interpolation between the two nearest centres when growing.
struct axis_weights {
    std::vector<int> first;  // first source sample of each target sample
    std::vector<int> count;  // how many source samples it takes
    std::vector<int> offset; // where its weights start in `weight`
    std::vector<float> weight;
};

void make_weights(int from, int to, axis_weights *w) {
    w->first.resize(to);
    w->count.resize(to);
    w->offset.resize(to);
    w->weight.clear();
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        w->offset[i] = static_cast<int>(w->weight.size());
        if (to < from) {
            const double start = i * ratio, end = (i + 1) * ratio;
            const int s0 = static_cast<int>(std::floor(start));
            const int s1 = std::min(from, static_cast<int>(std::ceil(end)));
            w->first[i] = s0;
            w->count[i] = s1 - s0;
            for (int s = s0; s < s1; ++s) {
                const double covered = std::min<double>(s + 1, end) - std::max<double>(s, start);
                w->weight.push_back(static_cast<float>(covered / ratio));
            }
        } else {
            double centre = (i + 0.5) * ratio - 0.5;
            centre = std::max(0.0, std::min(centre, from - 1.0));
            const int s0 = static_cast<int>(std::floor(centre));
            const double f = centre - s0;
            w->first[i] = s0;
            if (s0 + 1 < from && f > 0) {
                w->count[i] = 2;
                w->weight.push_back(static_cast<float>(1 - f));
                w->weight.push_back(static_cast<float>(f));
            } else {
                w->count[i] = 1;
                w->weight.push_back(1.0f);
            }
        }
    }
}

std::uint32_t channel(float v) {
    const float r = std::floor(v + 0.5f);
    return r <= 0 ? 0 : r >= 255 ? 255 : static_cast<std::uint32_t>(r);
}

} // namespace

std::uint32_t *fit_picture(std::uint32_t *pixels, int width, int height, int frame_width,
                           int frame_height) {
    if (!pixels || width <= 0 || height <= 0 || frame_width <= 0 || frame_height <= 0)
        return nullptr;
    if (width == frame_width && height == frame_height)
        return pixels;

    // The picture fills the frame along the axis where it is relatively larger.
    long long fit_width, fit_height;
    if (static_cast<long long>(width) * frame_height >=
        static_cast<long long>(height) * frame_width) {
        fit_width = frame_width;
        fit_height = (static_cast<long long>(height) * frame_width * 2 + width) / (2LL * width);
    } else {
        fit_height = frame_height;
        fit_width = (static_cast<long long>(width) * frame_height * 2 + height) / (2LL * height);
    }
    const int out_width =
        static_cast<int>(std::max(1LL, std::min<long long>(fit_width, frame_width)));
    const int out_height =
        static_cast<int>(std::max(1LL, std::min<long long>(fit_height, frame_height)));
    const int left = (frame_width - out_width) / 2;
    const int top = (frame_height - out_height) / 2;

    auto *frame = static_cast<std::uint32_t *>(
        std::calloc(static_cast<std::size_t>(frame_width) * frame_height, 4));
    if (!frame)
        return nullptr;
    try {
        axis_weights across, down;
        make_weights(width, out_width, &across);
        make_weights(height, out_height, &down);

        // Rows first: every source row resampled to the fitted width, blue, green, red.
        std::vector<float> rows(static_cast<std::size_t>(height) * out_width * 3);
        for (int y = 0; y < height; ++y) {
            const std::uint32_t *src = pixels + static_cast<std::size_t>(y) * width;
            float *dst = &rows[static_cast<std::size_t>(y) * out_width * 3];
            for (int x = 0; x < out_width; ++x) {
                float b = 0, g = 0, r = 0;
                const float *wt = &across.weight[across.offset[x]];
                for (int k = 0; k < across.count[x]; ++k) {
                    const std::uint32_t p = src[across.first[x] + k];
                    b += wt[k] * static_cast<float>(p & 0xFF);
                    g += wt[k] * static_cast<float>((p >> 8) & 0xFF);
                    r += wt[k] * static_cast<float>((p >> 16) & 0xFF);
                }
                dst[3 * x] = b;
                dst[3 * x + 1] = g;
                dst[3 * x + 2] = r;
            }
        }
        // Then columns, into the frame.
        for (int y = 0; y < out_height; ++y) {
            std::uint32_t *dst = frame + static_cast<std::size_t>(top + y) * frame_width + left;
            const float *wt = &down.weight[down.offset[y]];
            for (int x = 0; x < out_width; ++x) {
                float b = 0, g = 0, r = 0;
                for (int k = 0; k < down.count[y]; ++k) {
                    const float *s =
                        &rows[(static_cast<std::size_t>(down.first[y] + k) * out_width + x) * 3];
                    b += wt[k] * s[0];
                    g += wt[k] * s[1];
                    r += wt[k] * s[2];
                }
                dst[x] = (channel(r) << 16) | (channel(g) << 8) | channel(b);
            }
        }
    } catch (const std::bad_alloc &) {
        std::free(frame);
        return nullptr;
    }
    return frame;
}
