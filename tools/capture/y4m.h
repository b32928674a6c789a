#pragma once
// YUV4MPEG2 video: a text header, then each frame as "FRAME" and its planes. The colours
// are BT.601 in limited range (Y 16..235, Cb and Cr 16..240), what players assume of
// untagged video, sampled 4:2:0 with each chroma sample at the centre of its 2x2 pixels
// ("C420jpeg"), the layout H.264 encoders take as it is. Integer arithmetic (16-bit fixed
// point), so the same frame always gives the same bytes on every machine.

#include <cstdint>
#include <cstdio>
#include <vector>

// One pixel 0x00RRGGBB to BT.601 limited-range Y, Cb, Cr.
std::uint8_t rgb_to_y(std::uint32_t rgb);
std::uint8_t rgb_to_cb(std::uint32_t rgb);
std::uint8_t rgb_to_cr(std::uint32_t rgb);

class y4m_writer {
  public:
    // Writes to `file` (not closed by the writer). width and height must be even.
    y4m_writer(std::FILE *file, int width, int height, int fps);

    // Writes the header; 0 when the file refuses it.
    int write_header();
    // One frame of width * height pixels 0x00RRGGBB; 0 when the file refuses it.
    int write_frame(const std::uint32_t *pixels);

  private:
    std::FILE *file_;
    int width_, height_, fps_;
    std::vector<std::uint8_t> planes_;
};
