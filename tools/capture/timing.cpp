#include "tools/capture/timing.h"

#include <cmath>

namespace {

constexpr std::int64_t samples_per_second = bytes_per_second / bytes_per_sample_frame;

} // namespace

std::int64_t frame_position(std::int64_t n, int fps) {
    return n * samples_per_second / fps * bytes_per_sample_frame;
}

// With s = total / 4 sample frames, frame n lies before the end when
// floor(n * 44100 / fps) < s, that is when n * 44100 < s * fps; the count is the smallest
// n for which that fails.
std::int64_t frame_count(std::int64_t total_bytes, int fps) {
    if (total_bytes <= 0)
        return 0;
    const std::int64_t s = (total_bytes + bytes_per_sample_frame - 1) / bytes_per_sample_frame;
    return (s * fps + samples_per_second - 1) / samples_per_second;
}

// floor(n * 44100 / fps) <= s holds while n * 44100 < (s + 1) * fps.
std::int64_t frame_at(std::int64_t bytes, int fps) {
    if (bytes < 0)
        return 0;
    const std::int64_t s = bytes / bytes_per_sample_frame;
    return ((s + 1) * fps - 1) / samples_per_second;
}

std::int64_t seconds_to_bytes(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > max_seconds)
        return -1;
    return std::llround(seconds * 44100.0) * bytes_per_sample_frame;
}
