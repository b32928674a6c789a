#pragma once
// Fitting a picture of any size to the show's frame.

#include <cstdint>

// Fits a picture whole into a frame_width x frame_height frame (aspect kept, centred, black
// around, area-averaged when shrinking, bilinear when growing). Returns `pixels` itself when
// the sizes already match (no copy); otherwise a new std::malloc block (the caller still owns
// `pixels`), or null when out of memory or when a size is not positive.
std::uint32_t *fit_picture(std::uint32_t *pixels, int width, int height, int frame_width,
                           int frame_height);
