#pragma once
// What every implementation of the audio library shares: the one output format (44100 Hz,
// stereo, signed 16-bit), mixing one stream into another, and the table of streams whose
// handles count from 1. Header-only, so that the Windows build uses it too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

constexpr std::uint64_t pcm_frame_bytes = 4; // one stereo sample frame
constexpr std::uint64_t pcm_bytes_per_second = 44100 * pcm_frame_bytes;

// Adds `in` to `out`, sample by sample, saturating.
inline void pcm_mix_into(unsigned char *out, const unsigned char *in, std::size_t bytes) {
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        std::int16_t a;
        std::int16_t b;
        std::memcpy(&a, out + i, 2);
        std::memcpy(&b, in + i, 2);
        const auto sum = static_cast<std::int16_t>(std::clamp(a + b, -32768, 32767));
        std::memcpy(out + i, &sum, 2);
    }
}

// The stream of a handle (index + 1), or null for one that was never handed out.
template <class Stream>
Stream *pcm_stream_of(const std::vector<std::unique_ptr<Stream>> &streams, std::uint32_t handle) {
    if (handle == 0 || handle > streams.size())
        return nullptr;
    return streams[handle - 1].get();
}
