#include "tools/capture/scale.h"

#include <algorithm>

sharp_scaler::sharp_scaler(int src_width, int src_height, int dst_width, int dst_height)
    : src_width_(src_width), src_height_(src_height), dst_width_(dst_width),
      dst_height_(dst_height),
      x_taps_(make_taps(src_width, dst_width,
                        whole_multiple(src_width, src_height, dst_width, dst_height))),
      y_taps_(make_taps(src_height, dst_height,
                        whole_multiple(src_width, src_height, dst_width, dst_height))),
      x_nearest_(true), x_identity_(src_width == dst_width), row_(src_width) {
    for (int x = 0; x < dst_width; ++x) {
        x_nearest_ = x_nearest_ && x_taps_[x].weight == 0;
        x_identity_ = x_identity_ && x_taps_[x].weight == 0 && x_taps_[x].first == x;
    }
    const int k = dst_width / src_width;
    x_repeat_ = x_nearest_ && k * src_width == dst_width ? k : 0;
    for (int x = 0; x < dst_width && x_repeat_ > 0; ++x)
        if (x_taps_[x].first != x / k)
            x_repeat_ = 0;
}

int sharp_scaler::whole_multiple(int src_width, int src_height, int dst_width, int dst_height) {
    return std::max(1, std::min(dst_width / src_width, dst_height / src_height));
}

std::vector<sharp_scaler::tap> sharp_scaler::make_taps(int src_size, int dst_size,
                                                       std::int64_t multiple) {
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

namespace {

// (a * (256 - w) + b * w) / 256 per channel, rounded; w is 0..255. Byte by byte in 16-bit
// lanes (the largest sum, 255 * 256 + 128, still fits), which vectorises on any x86-64;
// then the top byte, which carries no colour, is cleared.
void mix_row(std::uint32_t *out, const std::uint32_t *a, const std::uint32_t *b, int count,
             std::uint32_t w) {
    const auto *pa = reinterpret_cast<const std::uint8_t *>(a);
    const auto *pb = reinterpret_cast<const std::uint8_t *>(b);
    auto *po = reinterpret_cast<std::uint8_t *>(out);
    const auto wb = static_cast<std::uint16_t>(w);
    const auto wa = static_cast<std::uint16_t>(256 - w);
    const int bytes = 4 * count;
    for (int i = 0; i < bytes; ++i)
        po[i] = static_cast<std::uint8_t>(
            static_cast<std::uint16_t>(pa[i] * wa + pb[i] * wb + 128) >> 8);
    for (int i = 0; i < count; ++i)
        out[i] &= 0x00FFFFFF;
}

void copy_row(std::uint32_t *out, const std::uint32_t *a, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = a[i] & 0x00FFFFFF;
}

} // namespace

void sharp_scaler::scale(const std::uint32_t *src, std::uint32_t *dst) {
    for (int y = 0; y < dst_height_; ++y) {
        const tap ty = y_taps_[y];
        const std::uint32_t *a = src + static_cast<std::size_t>(ty.first) * src_width_;
        const std::uint32_t *b = src + static_cast<std::size_t>(ty.second) * src_width_;
        std::uint32_t *out = dst + static_cast<std::size_t>(y) * dst_width_;
        // Where columns map one to one, the mixed row is the target row itself.
        std::uint32_t *row = x_identity_ ? out : row_.data();
        if (ty.weight == 0)
            copy_row(row, a, src_width_);
        else
            mix_row(row, a, b, src_width_, static_cast<std::uint32_t>(ty.weight));
        if (x_identity_)
            continue;
        if (x_repeat_ > 0) {
            for (int x = 0; x < src_width_; ++x)
                for (int i = 0; i < x_repeat_; ++i)
                    out[x * x_repeat_ + i] = row[x];
        } else if (x_nearest_) {
            for (int x = 0; x < dst_width_; ++x)
                out[x] = row[x_taps_[x].first];
        } else {
            for (int x = 0; x < dst_width_; ++x) {
                const tap tx = x_taps_[x];
                mix_row(out + x, &row[tx.first], &row[tx.second], 1,
                        static_cast<std::uint32_t>(tx.weight));
            }
        }
    }
}
