#include "platform/audio/clock.h"

#include <algorithm>

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
    std::uint64_t bytes = 0;
    if (now > callback_time_) {
        // Split the product so that a long gap cannot overflow it.
        const std::uint64_t ticks = now - callback_time_;
        const std::uint64_t whole = ticks / ticks_per_second_;
        const std::uint64_t part = ticks % ticks_per_second_;
        bytes = in_flight;
        if (whole < in_flight / bytes_per_second + 1) {
            bytes = whole * bytes_per_second + part * bytes_per_second / ticks_per_second_;
            bytes -= bytes % frame_bytes;
        }
    }
    return anchor_ + std::min(bytes, in_flight);
}

void play_clock::handed(std::uint64_t now, std::uint64_t bytes) {
    // Run on from where the position has got to; but a device that asks for more has
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
