#include "platform/audio/waveout/mp3_header.h"

namespace {

// Bit rates in kbit/s by [MPEG 1 or not][layer - 1][index].
constexpr int bitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
constexpr int mpeg1_rates[3] = {44100, 48000, 32000};

} // namespace

int parse_mpeg_header(const unsigned char *p, mpeg_frame *out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    const int version_bits = (p[1] >> 3) & 3;
    const int layer_bits = (p[1] >> 1) & 3;
    const int bitrate_index = p[2] >> 4;
    const int rate_index = (p[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
        rate_index == 3)
        return 0;
    mpeg_frame f{};
    f.version = version_bits == 3 ? 10 : version_bits == 2 ? 20 : 25;
    f.layer = 4 - layer_bits;
    f.bitrate = bitrates[f.version == 10 ? 0 : 1][f.layer - 1][bitrate_index] * 1000;
    f.rate = mpeg1_rates[rate_index] / (f.version == 10 ? 1 : f.version == 20 ? 2 : 4);
    f.channels = (p[3] >> 6) == 3 ? 1 : 2;
    const int padding = (p[2] >> 1) & 1;
    if (f.layer == 1) {
        f.block_bytes = 12 * f.bitrate / f.rate * 4;
        f.length = f.block_bytes + padding * 4;
    } else {
        // MPEG 2 and 2.5 Layer III frames hold half the samples of MPEG 1's.
        const int per_frame = (f.layer == 3 && f.version != 10) ? 72 : 144;
        f.block_bytes = per_frame * f.bitrate / f.rate;
        f.length = f.block_bytes + padding;
    }
    *out = f;
    return 1;
}

std::size_t id3v2_size(const unsigned char *data, std::size_t size) {
    if (size < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3')
        return 0;
    std::size_t body = 0;
    for (int i = 6; i < 10; ++i) {
        if (data[i] & 0x80)
            return 0; // not a synchsafe size: not a tag
        body = body << 7 | data[i];
    }
    const std::size_t footer = (data[5] & 0x10) ? 10 : 0;
    return 10 + body + footer;
}

long find_first_frame(const unsigned char *data, std::size_t size, mpeg_frame *out) {
    for (std::size_t at = 0; at + 4 <= size; ++at) {
        mpeg_frame f;
        if (!parse_mpeg_header(data + at, &f) || f.layer != 3)
            continue;
        const std::size_t next = at + static_cast<std::size_t>(f.length);
        if (next + 4 <= size) {
            mpeg_frame g;
            if (!parse_mpeg_header(data + next, &g) || g.version != f.version ||
                g.layer != f.layer || g.rate != f.rate)
                continue; // a false sync inside other data
        }
        *out = f;
        return static_cast<long>(at);
    }
    return -1;
}
