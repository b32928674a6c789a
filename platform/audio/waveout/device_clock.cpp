#include "platform/audio/waveout/device_clock.h"

#include <algorithm>

// Whole sample frames of audio that play from `since` to `now`, at most an hour's worth.
std::uint64_t device_clock::bytes_in(std::uint64_t now, std::uint64_t since) const {
    if (now <= since)
        return 0;
    // Capped before multiplying, so that a long wait cannot overflow.
    const std::uint64_t elapsed = std::min(now - since, 3600 * ticks_per_second_);
    return elapsed * (bytes_per_second / frame_bytes) / ticks_per_second_ * frame_bytes;
}

std::uint64_t device_clock::position(std::uint64_t now, std::uint64_t played, std::uint64_t given,
                                     bool running) {
    if (!anchored_ || played != anchor_played_) {
        anchored_ = true;
        anchor_played_ = played;
        anchor_time_ = now;
    }
    std::uint64_t estimate = anchor_played_;
    if (running)
        estimate += std::min(bytes_in(now, anchor_time_), max_lead);
    estimate = std::min(estimate, given);
    if (reported_once_)
        estimate = std::min(estimate, reported_ + 2 * bytes_in(now, reported_time_));
    estimate -= estimate % frame_bytes;
    reported_ = std::max(reported_, estimate);
    reported_time_ = now;
    reported_once_ = true;
    return reported_;
}
