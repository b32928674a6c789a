// The sharp 4:3 scaling on the processor: which source rows make each final row, and the
// rows themselves.
#include "platform/host/sdl/sharp_scale.h"

#include <cmath>
#include <cstring>

namespace {

// The whole multiple's `count * m` lines stretched linearly to `final` lines, sampled at
// each final line's centre as a linear filter does.
std::vector<sharp_row> stretch(int count, int m, int final) {
    const int tall = count * m;
    std::vector<sharp_row> lines(static_cast<std::size_t>(final));
    for (int y = 0; y < final; ++y) {
        double v = (y + 0.5) * tall / final - 0.5;
        if (v < 0)
            v = 0;
        int i0 = static_cast<int>(std::floor(v));
        if (i0 > tall - 1)
            i0 = tall - 1;
        const int i1 = i0 + 1 < tall ? i0 + 1 : tall - 1;
        sharp_row line = {i0 / m, i1 / m, 0};
        if (line.a != line.b)
            line.weight = static_cast<int>(std::lround((v - i0) * 256));
        if (line.weight == 0)
            line.b = line.a;
        else if (line.weight == 256)
            line = {line.b, line.b, 0};
        lines[static_cast<std::size_t>(y)] = line;
    }
    return lines;
}

} // namespace

sharp_plan plan_sharp(int src_w, int src_h, int dst_w, int dst_h) {
    sharp_plan plan;
    plan.src_w = src_w;
    plan.src_h = src_h;
    plan.dst_w = dst_w;
    plan.dst_h = dst_h;
    const int m = dst_w / src_w < dst_h / src_h ? dst_w / src_w : dst_h / src_h;
    plan.multiple = m < 1 ? 1 : m;
    plan.tex_w = dst_w % src_w == 0 ? src_w : dst_w;
    plan.tex_h = dst_h;
    plan.rows = stretch(src_h, plan.multiple, dst_h);
    if (plan.tex_w != src_w)
        plan.columns = stretch(src_w, plan.multiple, dst_w);
    return plan;
}

namespace {

// Two pixels' channels at once: red and blue in one word, green in another.
std::uint32_t blend(std::uint32_t a, std::uint32_t b, std::uint32_t wb) {
    const std::uint32_t wa = 256 - wb;
    const std::uint32_t rb = ((a & 0xFF00FFu) * wa + (b & 0xFF00FFu) * wb + 0x800080u) >> 8;
    const std::uint32_t g = ((a & 0xFF00u) * wa + (b & 0xFF00u) * wb + 0x8000u) >> 8;
    return (rb & 0xFF00FFu) | (g & 0xFF00u);
}

void blend_row(const std::uint32_t *a, const std::uint32_t *b, int weight, int count,
               std::uint32_t *out) {
    const auto wb = static_cast<std::uint32_t>(weight);
    for (int x = 0; x < count; ++x)
        out[x] = blend(a[x], b[x], wb);
}

void widen_row(const std::uint32_t *in, const std::vector<sharp_row> &columns, std::uint32_t *out) {
    for (const sharp_row &c : columns)
        *out++ =
            c.weight == 0 ? in[c.a] : blend(in[c.a], in[c.b], static_cast<std::uint32_t>(c.weight));
}

} // namespace

void run_sharp(const sharp_plan &plan, const void *src, int src_pitch, void *tex, int tex_pitch,
               bool swap_red_blue) {
    const auto *in = static_cast<const unsigned char *>(src);
    auto *out = static_cast<unsigned char *>(tex);
    const bool widen = plan.tex_w != plan.src_w;
    std::vector<std::uint32_t> blended(static_cast<std::size_t>(plan.src_w));
    const std::size_t row_bytes = static_cast<std::size_t>(plan.tex_w) * 4;
    const sharp_row *previous = nullptr;
    for (int y = 0; y < plan.tex_h; ++y) {
        const sharp_row &row = plan.rows[static_cast<std::size_t>(y)];
        auto *dst =
            reinterpret_cast<std::uint32_t *>(out + static_cast<std::ptrdiff_t>(y) * tex_pitch);
        if (previous && previous->a == row.a && previous->b == row.b &&
            previous->weight == row.weight) {
            std::memcpy(dst, out + static_cast<std::ptrdiff_t>(y - 1) * tex_pitch, row_bytes);
        } else {
            const auto *a = reinterpret_cast<const std::uint32_t *>(
                in + static_cast<std::ptrdiff_t>(row.a) * src_pitch);
            const std::uint32_t *line = a;
            if (row.weight != 0) {
                const auto *b = reinterpret_cast<const std::uint32_t *>(
                    in + static_cast<std::ptrdiff_t>(row.b) * src_pitch);
                blend_row(a, b, row.weight, plan.src_w, blended.data());
                line = blended.data();
            }
            if (widen)
                widen_row(line, plan.columns, dst);
            else
                std::memcpy(dst, line, row_bytes);
            if (swap_red_blue)
                for (int x = 0; x < plan.tex_w; ++x)
                    dst[x] =
                        (dst[x] & 0xFF00FF00u) | (dst[x] >> 16 & 0xFFu) | (dst[x] & 0xFFu) << 16;
        }
        previous = &row;
    }
}
