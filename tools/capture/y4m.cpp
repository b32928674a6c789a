#include "tools/capture/y4m.h"

namespace {

// BT.601 limited range (Kr 0.299, Kb 0.114; 219 levels of luma and 224 of chroma over 255
// of colour) in 16-bit fixed point. Each row of weights is rounded so that it sums exactly
// as the real weights do: white gives 235, every grey a neutral 128. `shift` is 16 for one
// pixel and 18 for the sum of a 2x2 block, whose mean is then rounded only once.
constexpr int yr = 16829, yg = 33039, yb = 6416;
constexpr int br = -9714, bg = -19071, bb = 28785;
constexpr int rr = 28785, rg = -24104, rb = -4681;

int y_of(int r, int g, int b, int shift) {
    return (yr * r + yg * g + yb * b + (16 << shift) + (1 << (shift - 1))) >> shift;
}
int cb_of(int r, int g, int b, int shift) {
    return (br * r + bg * g + bb * b + (128 << shift) + (1 << (shift - 1))) >> shift;
}
int cr_of(int r, int g, int b, int shift) {
    return (rr * r + rg * g + rb * b + (128 << shift) + (1 << (shift - 1))) >> shift;
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
    return static_cast<std::uint8_t>(y_of(red(p), green(p), blue(p), 16));
}
std::uint8_t rgb_to_cb(std::uint32_t p) {
    return static_cast<std::uint8_t>(cb_of(red(p), green(p), blue(p), 16));
}
std::uint8_t rgb_to_cr(std::uint32_t p) {
    return static_cast<std::uint8_t>(cr_of(red(p), green(p), blue(p), 16));
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
    // Plain loops over whole rows, which the compiler turns into vector code.
    const std::size_t pixels_count = w * height_;
    for (std::size_t i = 0; i < pixels_count; ++i) {
        const std::uint32_t p = pixels[i];
        luma[i] = static_cast<std::uint8_t>(y_of(red(p), green(p), blue(p), 16));
    }
    for (int y = 0; y < height_; y += 2) {
        const std::uint32_t *row0 = pixels + y * w;
        const std::uint32_t *row1 = row0 + w;
        std::uint8_t *cbo = cb + y / 2 * (w / 2);
        std::uint8_t *cro = cr + y / 2 * (w / 2);
        for (std::size_t x = 0; x < w / 2; ++x) {
            const std::uint32_t a = row0[2 * x], b = row0[2 * x + 1];
            const std::uint32_t c = row1[2 * x], d = row1[2 * x + 1];
            const int r = red(a) + red(b) + red(c) + red(d);
            const int g = green(a) + green(b) + green(c) + green(d);
            const int bl = blue(a) + blue(b) + blue(c) + blue(d);
            cbo[x] = static_cast<std::uint8_t>(cb_of(r, g, bl, 18));
            cro[x] = static_cast<std::uint8_t>(cr_of(r, g, bl, 18));
        }
    }
    static const char tag[] = "FRAME\n";
    if (std::fwrite(tag, 1, sizeof tag - 1, file_) != sizeof tag - 1)
        return 0;
    return std::fwrite(planes_.data(), 1, planes_.size(), file_) == planes_.size();
}
