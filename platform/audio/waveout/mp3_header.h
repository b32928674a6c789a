#pragma once
// MPEG audio frame headers, as far as opening an MP3 for the system's Layer III codec
// needs them: where the audio starts, and its rate, channels and bit rate.
#include <cstddef>
#include <cstdint>

struct mpeg_frame {
    int version;     // 10 for MPEG 1, 20 for MPEG 2, 25 for MPEG 2.5
    int layer;       // 1, 2 or 3
    int bitrate;     // bits per second
    int rate;        // samples per second
    int channels;    // 1 or 2
    int length;      // bytes, padding included
    int block_bytes; // bytes without padding
};

// Reads the four header bytes at `p`. 0 when they are not a valid header (no sync, a
// reserved version, layer, rate or bit rate, or the free format, which has no fixed length).
int parse_mpeg_header(const unsigned char *p, mpeg_frame *out);

// The size of an ID3v2 tag at the start of `data` (header and footer included), or 0.
std::size_t id3v2_size(const unsigned char *data, std::size_t size);

// The offset of the first Layer III frame in `data` whose successor, where the data still
// holds it, is a header of the same version, layer and rate; -1 when there is none.
long find_first_frame(const unsigned char *data, std::size_t size, mpeg_frame *out);
