#include "tools/capture/timing.h"

#include <cmath>

std::int64_t frame_position(std::int64_t n, int fps) {
    return n * bytes_per_second / fps;
}

// Frame n lies before the end when floor(n * 176400 / fps) < total, that is when
// n * 176400 < total * fps; the count is the smallest n for which that fails.
std::int64_t frame_count(std::int64_t total_bytes, int fps) {
    if (total_bytes <= 0)
        return 0;
    return (total_bytes * fps + bytes_per_second - 1) / bytes_per_second;
}

// floor(n * 176400 / fps) <= bytes holds while n * 176400 < (bytes + 1) * fps.
std::int64_t frame_at(std::int64_t bytes, int fps) {
    if (bytes < 0)
        return 0;
    return ((bytes + 1) * fps - 1) / bytes_per_second;
}

std::int64_t seconds_to_bytes(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > max_seconds)
        return -1;
    return std::llround(seconds * 44100.0) * bytes_per_sample_frame;
}
