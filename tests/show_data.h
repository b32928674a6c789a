#pragma once
// Writes a small show of its own into a folder, for the tests of the whole program: a title
// picture in four coloured quarters, 29 pictures of one colour each, and a quiet soundtrack.

#include <cstdint>
#include <string>

struct show_data_options {
    int music_seconds = 72;
    int missing_picture = -1;   // this numbered picture is left out
    int odd_sized_picture = -1; // this numbered picture is 640x480 instead of 320x200
};

// The colours the pictures are drawn in, 0x00RRGGBB.
std::uint32_t title_colour(int x, int y); // quarters: red, green / blue, white
std::uint32_t picture_colour(int index);  // red 250 in all of them, green and blue by index

// Writes <folder>/data/{ulvo.gif, 00.jpg..28.jpg, ulvo.mp3}; the folder must exist.
void write_show_data(const std::string &folder, const show_data_options &options = {});
