// The default show's pictures: 29 numbered ones and the title, drawn as 320x200 RGB.
#pragma once

#include <cstdint>
#include <vector>

namespace md {

constexpr int picture_width = 320;
constexpr int picture_height = 200;
constexpr int picture_count = 29;

// Fills `rgb` with picture `number` (0..28): 320x200, three bytes a pixel, top row first.
void draw_picture(int number, std::vector<std::uint8_t> &rgb);

// The title: the word ULVO, 320x200 RGB, to be reduced to a palette for the GIF.
void draw_title(std::vector<std::uint8_t> &rgb);

} // namespace md
