#include "tools/capture/scale.h"

#include <algorithm>

sharp_scaler::sharp_scaler(int src_width, int src_height, int dst_width, int dst_height)
    : src_width_(src_width), src_height_(src_height), dst_width_(dst_width),
      dst_height_(dst_height), x_taps_(make_taps(src_width, dst_width)),
      y_taps_(make_taps(src_height, dst_height)),
      rows_(static_cast<std::size_t>(src_height) * dst_width * 3) {}

std::vector<sharp_scaler::tap> sharp_scaler::make_taps(int src_size, int dst_size) {
    const std::int64_t multiple = std::max(1, dst_size / src_size);
    const std::int64_t mid = multiple * src_size; // the size after the whole-multiple step
    std::vector<tap> taps(dst_size);
    for (int d = 0; d < dst_size; ++d) {
        // Pixel centres line up: position (d + 1/2) * mid / dst - 1/2 in the enlarged axis,
        // kept as the fraction num / den.
        const std::int64_t num = (2 * std::int64_t{d} + 1) * mid - dst_size;
        const std::int64_t den = 2 * std::int64_t{dst_size};
        std::int64_t i = 0;
        std::int64_t weight = 0;
        if (num > 0) {
            i = num / den;
            weight = (num % den * 256 + den / 2) / den;
            if (weight == 256) {
                ++i;
                weight = 0;
            }
        }
        const std::int64_t next = std::min(i + 1, mid - 1);
        tap t{static_cast<int>(i / multiple), static_cast<int>(next / multiple),
              static_cast<int>(weight)};
        if (t.first == t.second)
            t.weight = 0;
        taps[d] = t;
    }
    return taps;
}

void sharp_scaler::scale(const std::uint32_t *src, std::uint32_t *dst) {
    for (int y = 0; y < src_height_; ++y) {
        const std::uint32_t *in = src + static_cast<std::size_t>(y) * src_width_;
        std::uint16_t *out = rows_.data() + static_cast<std::size_t>(y) * dst_width_ * 3;
        for (int x = 0; x < dst_width_; ++x) {
            const tap t = x_taps_[x];
            const std::uint32_t a = in[t.first];
            const std::uint32_t b = in[t.second];
            const int wa = 256 - t.weight;
            const int wb = t.weight;
            out[3 * x + 0] =
                static_cast<std::uint16_t>(((a >> 16) & 255) * wa + ((b >> 16) & 255) * wb);
            out[3 * x + 1] =
                static_cast<std::uint16_t>(((a >> 8) & 255) * wa + ((b >> 8) & 255) * wb);
            out[3 * x + 2] = static_cast<std::uint16_t>((a & 255) * wa + (b & 255) * wb);
        }
    }
    for (int y = 0; y < dst_height_; ++y) {
        const tap t = y_taps_[y];
        const std::uint16_t *a = rows_.data() + static_cast<std::size_t>(t.first) * dst_width_ * 3;
        const std::uint16_t *b = rows_.data() + static_cast<std::size_t>(t.second) * dst_width_ * 3;
        const std::uint32_t wa = 256 - t.weight;
        const std::uint32_t wb = t.weight;
        std::uint32_t *out = dst + static_cast<std::size_t>(y) * dst_width_;
        for (int x = 0; x < dst_width_; ++x) {
            const std::uint32_t r = (a[3 * x + 0] * wa + b[3 * x + 0] * wb + 32768) >> 16;
            const std::uint32_t g = (a[3 * x + 1] * wa + b[3 * x + 1] * wb + 32768) >> 16;
            const std::uint32_t bl = (a[3 * x + 2] * wa + b[3 * x + 2] * wb + 32768) >> 16;
            out[x] = r << 16 | g << 8 | bl;
        }
    }
}
