// The playback position's arithmetic (see clock.h).
#include "platform/audio/clock.h"

#include <algorithm>

std::uint64_t play_bytes_in(std::uint64_t ticks, std::uint64_t ticks_per_second) {
    // Split the product so that a long gap cannot overflow it; past 2^40 bytes (over 70
    // days) the answer no longer matters, as every caller caps it at what was handed.
    const std::uint64_t whole = ticks / ticks_per_second;
    const std::uint64_t part = ticks % ticks_per_second;
    if (whole >= (std::uint64_t{1} << 40) / pcm_bytes_per_second)
        return std::uint64_t{1} << 40;
    std::uint64_t bytes = whole * pcm_bytes_per_second;
    // part < ticks_per_second; the product fits for any clock up to 10^14 ticks a second.
    bytes += part * pcm_bytes_per_second / ticks_per_second;
    return bytes - bytes % pcm_frame_bytes;
}

play_clock::play_clock(std::uint64_t ticks_per_second) : ticks_per_second_(ticks_per_second) {}

void play_clock::restart() {
    anchor_ = 0;
    total_ = 0;
    last_bytes_ = 0;
    callback_time_ = 0;
    called_ = false;
    reported_ = 0;
}

std::uint64_t play_clock::estimate(std::uint64_t now) const {
    if (!called_)
        return 0;
    const std::uint64_t in_flight = total_ - anchor_;
    const std::uint64_t bytes =
        now > callback_time_ ? play_bytes_in(now - callback_time_, ticks_per_second_) : 0;
    return anchor_ + std::min(bytes, in_flight);
}

void play_clock::handed(std::uint64_t now, std::uint64_t bytes) {
    // Run on from where the count has got to; but a device that asks for more has
    // certainly played all it was given before the previous callback.
    anchor_ = std::max({estimate(now), reported_, total_ - last_bytes_});
    total_ += bytes;
    last_bytes_ = bytes;
    callback_time_ = now;
    called_ = true;
}

std::uint64_t play_clock::position(std::uint64_t now) {
    reported_ = std::max(reported_, estimate(now));
    return reported_;
}

std::uint64_t heard_bytes(const host_audio_timing &timing, play_clock &callbacks,
                          std::uint64_t now) {
    std::uint64_t heard;
    if (timing.counted) {
        heard = timing.played - timing.played % pcm_frame_bytes;
        if (timing.running && now > timing.counted_at)
            heard += play_bytes_in(now - timing.counted_at, callbacks.ticks_per_second());
    } else {
        const std::uint64_t handed = callbacks.position(now);
        const std::uint64_t latency =
            timing.latency + (pcm_frame_bytes - timing.latency % pcm_frame_bytes) %
                                 pcm_frame_bytes; // whole frames, rounded up
        heard = handed > latency ? handed - latency : 0;
    }
    return std::min(heard, callbacks.handed_total());
}

void stream_position::handed(std::uint64_t device_offset, std::uint64_t bytes) {
    if (!started_) {
        started_ = true;
        start_ = device_offset;
    }
    handed_ += bytes;
}

std::uint64_t stream_position::position(std::uint64_t heard) {
    if (started_)
        reported_ = std::max(reported_, std::min(heard > start_ ? heard - start_ : 0, handed_));
    return reported_;
}
