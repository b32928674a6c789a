#pragma once
// MP3 fixtures made at run time with LAME: a sine tone at a given rate and channel count.
#include <string>
#include <vector>

struct tone_spec {
    int rate;         // samples per second, a rate MP3 has (e.g. 44100, 48000, 32000, 22050)
    int channels;     // 1 or 2
    double frequency; // Hz
    double seconds;
    int kbps = 128;
    bool info_tag = true; // the LAME tag that lets a decoder drop the encoder's delay and padding
};

// The encoded file's bytes; empty if LAME refuses the settings.
std::vector<unsigned char> encode_tone_mp3(const tone_spec &tone);

// The 16-bit samples the tone was made of (interleaved when stereo).
std::vector<short> tone_samples(const tone_spec &tone);

// `samples` (interleaved when stereo) encoded at `rate` Hz, with the LAME tag that lets a
// decoder drop the encoder's delay and padding, so that sample n decodes as sample n.
std::vector<unsigned char> encode_mp3(const std::vector<short> &samples, int rate, int channels,
                                      int kbps = 128);

// A click in silence: `seconds` of 44100 Hz stereo, silent but for 5 ms of a 2 kHz cosine at
// full amplitude whose first sample is frame `click_frame`.
std::vector<short> click_samples(double seconds, long click_frame);

// The first frame of interleaved stereo s16 whose left or right sample reaches half the
// click's amplitude, or -1.
long find_click(const short *samples, std::size_t frames);

bool write_file(const std::string &path, const std::vector<unsigned char> &bytes);

// A path in the temporary directory that no other process uses (tests of several
// checkouts may run at once).
std::string scratch_path(const std::string &name);
