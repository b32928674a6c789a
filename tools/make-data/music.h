// The soundtrack: about 110 s at 120 beats a minute, synthesised, mastered to 16 bits.
#pragma once

#include <cstdint>
#include <vector>

namespace md {

constexpr int sample_rate = 44100;

struct loudness {
    double peak_db;    // highest sample, dBFS
    double rms_db;     // over the whole track, dBFS
    double loudest_db; // RMS of the loudest 3 s window, dBFS
    double lufs;       // K-weighted integrated loudness with the -70 and -10 gates
    double limited_db; // largest gain reduction of the limiter
};

// Fills `pcm` with interleaved stereo 16-bit samples at 44100 Hz.
void make_music(std::vector<std::int16_t> &pcm, loudness &stats);

} // namespace md
