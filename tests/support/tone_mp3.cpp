// MP3 fixtures encoded at test time with LAME, and the samples they were made of.
#include "tests/support/tone_mp3.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <unistd.h>

std::vector<short> tone_samples(const tone_spec &tone) {
    const auto frames = static_cast<std::size_t>(tone.seconds * tone.rate);
    std::vector<short> pcm(frames * static_cast<std::size_t>(tone.channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double phase =
            2 * std::numbers::pi * tone.frequency * static_cast<double>(i) / tone.rate;
        const auto value = static_cast<short>(std::lround(16000 * std::sin(phase)));
        for (int c = 0; c < tone.channels; ++c)
            pcm[i * static_cast<std::size_t>(tone.channels) + static_cast<std::size_t>(c)] = value;
    }
    return pcm;
}

namespace {

std::vector<unsigned char> encode(std::vector<short> pcm, int rate, int channels, int kbps,
                                  bool info_tag) {
    lame_global_flags *lame = lame_init();
    if (!lame)
        return {};
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, info_tag ? 1 : 0);
    std::vector<unsigned char> out;
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return out;
    }
    const int frames = static_cast<int>(pcm.size() / static_cast<std::size_t>(channels));
    out.resize(static_cast<std::size_t>(frames) * 5 / 4 + 7200 + 7200);
    int size;
    if (channels == 2)
        size = lame_encode_buffer_interleaved(lame, pcm.data(), frames, out.data(),
                                              static_cast<int>(out.size()));
    else
        size = lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, out.data(),
                                  static_cast<int>(out.size()));
    if (size >= 0) {
        const int tail =
            lame_encode_flush(lame, out.data() + size, static_cast<int>(out.size()) - size);
        size = tail < 0 ? tail : size + tail;
    }
    if (size < 0) {
        lame_close(lame);
        return {};
    }
    out.resize(static_cast<std::size_t>(size));
    // The tag frame was reserved at the start; it can only be written once the length is known.
    if (info_tag) {
        unsigned char tag[2880];
        const std::size_t tag_size = lame_get_lametag_frame(lame, tag, sizeof tag);
        if (tag_size > 0 && tag_size <= out.size())
            std::copy(tag, tag + tag_size, out.begin());
    }
    lame_close(lame);
    return out;
}

} // namespace

std::vector<unsigned char> encode_tone_mp3(const tone_spec &tone) {
    return encode(tone_samples(tone), tone.rate, tone.channels, tone.kbps, tone.info_tag);
}

std::vector<unsigned char> encode_mp3(const std::vector<short> &samples, int rate, int channels,
                                      int kbps) {
    return encode(samples, rate, channels, kbps, true);
}

std::vector<short> click_samples(double seconds, long click_frame) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    std::vector<short> pcm(frames * 2);
    const long click_frames = 44100 * 5 / 1000;
    for (long i = 0; i < click_frames; ++i) {
        const auto at = static_cast<std::size_t>(click_frame + i);
        if (at >= frames)
            break;
        const double phase = 2 * std::numbers::pi * 2000 * static_cast<double>(i) / 44100;
        const auto value = static_cast<short>(std::lround(30000 * std::cos(phase)));
        pcm[at * 2] = value;
        pcm[at * 2 + 1] = value;
    }
    return pcm;
}

long find_click(const short *samples, std::size_t frames) {
    for (std::size_t i = 0; i < frames * 2; ++i)
        if (std::abs(samples[i]) >= 15000)
            return static_cast<long>(i / 2);
    return -1;
}

bool write_file(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string scratch_path(const std::string &name) {
    const std::string file = "ulvo_" + std::to_string(getpid()) + "_" + name;
    return (std::filesystem::temp_directory_path() / file).string();
}
