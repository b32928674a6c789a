#pragma once
// The soundtrack's length, for the default length of a capture.

#include <cstdint>

// The decoded length of an MP3 file in bytes of 44100 Hz stereo 16-bit sound (the form
// the audio library delivers it in, whatever the file's own rate and channels); -1 when
// the file cannot be read as MP3.
std::int64_t soundtrack_bytes(const char *path);
