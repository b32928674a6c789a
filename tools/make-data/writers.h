// File writers of make-data: JPEG, GIF, MP3 and WAV. Each returns 1 on success, 0 on failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace md {

int write_jpeg(const std::string &path, const std::vector<std::uint8_t> &rgb, int width,
               int height);
// Reduces the picture to a palette of its own (at most 256 colours) and writes a GIF.
int write_gif(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height);
// `pcm` is interleaved 44100 Hz stereo.
int write_mp3(const std::string &path, const std::vector<std::int16_t> &pcm);
int write_wav(const std::string &path, const std::vector<std::int16_t> &pcm);

} // namespace md
