#include "tools/capture/y4m.h"

namespace {

// BT.601 limited range from its exact weights (Kr 0.299, Kb 0.114; 219 levels of luma and
// 224 of chroma over 255 of colour), rounded once to the nearest level. `count` is the
// number of pixels whose colours r, g, b sum, so a 2x2 block rounds its mean only once.
std::int64_t rounded_div(std::int64_t num, std::int64_t den) {
    const std::int64_t twice = 2 * num + den; // floor((num + den / 2) / den), any sign
    return twice >= 0 ? twice / (2 * den) : -((-twice + 2 * den - 1) / (2 * den));
}
int y_of(int r, int g, int b, int count) {
    return 16 + static_cast<int>(rounded_div(219 * (299 * std::int64_t{r} + 587 * g + 114 * b),
                                             255000 * std::int64_t{count}));
}
int cb_of(int r, int g, int b, int count) {
    return 128 + static_cast<int>(rounded_div(
                     224 * (-168736 * std::int64_t{r} - 331264 * std::int64_t{g} + 500000 * b),
                     255000000 * std::int64_t{count}));
}
int cr_of(int r, int g, int b, int count) {
    return 128 + static_cast<int>(rounded_div(
                     224 * (500000 * std::int64_t{r} - 418688 * std::int64_t{g} - 81312 * b),
                     255000000 * std::int64_t{count}));
}

int red(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 255);
}
int green(std::uint32_t p) {
    return static_cast<int>((p >> 8) & 255);
}
int blue(std::uint32_t p) {
    return static_cast<int>(p & 255);
}

} // namespace

std::uint8_t rgb_to_y(std::uint32_t p) {
    return static_cast<std::uint8_t>(y_of(red(p), green(p), blue(p), 1));
}
std::uint8_t rgb_to_cb(std::uint32_t p) {
    return static_cast<std::uint8_t>(cb_of(red(p), green(p), blue(p), 1));
}
std::uint8_t rgb_to_cr(std::uint32_t p) {
    return static_cast<std::uint8_t>(cr_of(red(p), green(p), blue(p), 1));
}

y4m_writer::y4m_writer(std::FILE *file, int width, int height, int fps)
    : file_(file), width_(width), height_(height), fps_(fps),
      planes_(static_cast<std::size_t>(width) * height * 3 / 2) {}

int y4m_writer::write_header() {
    // Square pixels: the frame arrives already shaped to 4:3.
    return std::fprintf(file_, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n",
                        width_, height_, fps_) > 0;
}

int y4m_writer::write_frame(const std::uint32_t *pixels) {
    const std::size_t w = static_cast<std::size_t>(width_);
    std::uint8_t *luma = planes_.data();
    std::uint8_t *cb = luma + w * height_;
    std::uint8_t *cr = cb + w / 2 * (height_ / 2);
    for (int y = 0; y < height_; y += 2) {
        const std::uint32_t *row0 = pixels + y * w;
        const std::uint32_t *row1 = row0 + w;
        std::uint8_t *l0 = luma + y * w;
        std::uint8_t *l1 = l0 + w;
        std::uint8_t *cbo = cb + y / 2 * (w / 2);
        std::uint8_t *cro = cr + y / 2 * (w / 2);
        for (std::size_t x = 0; x < w; x += 2) {
            const std::uint32_t p[4] = {row0[x], row0[x + 1], row1[x], row1[x + 1]};
            l0[x] = rgb_to_y(p[0]);
            l0[x + 1] = rgb_to_y(p[1]);
            l1[x] = rgb_to_y(p[2]);
            l1[x + 1] = rgb_to_y(p[3]);
            // Chroma of the 2x2 block's mean colour.
            const int r = red(p[0]) + red(p[1]) + red(p[2]) + red(p[3]);
            const int g = green(p[0]) + green(p[1]) + green(p[2]) + green(p[3]);
            const int b = blue(p[0]) + blue(p[1]) + blue(p[2]) + blue(p[3]);
            cbo[x / 2] = static_cast<std::uint8_t>(cb_of(r, g, b, 4));
            cro[x / 2] = static_cast<std::uint8_t>(cr_of(r, g, b, 4));
        }
    }
    static const char tag[] = "FRAME\n";
    if (std::fwrite(tag, 1, sizeof tag - 1, file_) != sizeof tag - 1)
        return 0;
    return std::fwrite(planes_.data(), 1, planes_.size(), file_) == planes_.size();
}
