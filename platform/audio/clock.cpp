#include "platform/audio/clock.h"

#include <algorithm>

play_clock::play_clock(std::uint64_t ticks_per_second) : ticks_per_second_(ticks_per_second) {}

void play_clock::restart() {
    played_ = 0;
    total_ = 0;
    callback_time_ = 0;
    called_ = false;
    reported_ = 0;
}

void play_clock::handed(std::uint64_t now, std::uint64_t bytes) {
    played_ = total_;
    total_ += bytes;
    callback_time_ = now;
    called_ = true;
}

std::uint64_t play_clock::position(std::uint64_t now) {
    std::uint64_t estimate = played_;
    if (called_ && now > callback_time_) {
        // Split the product so that a long gap cannot overflow it.
        const std::uint64_t ticks = now - callback_time_;
        const std::uint64_t whole = ticks / ticks_per_second_;
        const std::uint64_t part = ticks % ticks_per_second_;
        const std::uint64_t in_flight = total_ - played_;
        std::uint64_t bytes = in_flight;
        if (whole < in_flight / bytes_per_second + 1) {
            bytes = whole * bytes_per_second + part * bytes_per_second / ticks_per_second_;
            bytes -= bytes % frame_bytes;
        }
        estimate += std::min(bytes, in_flight);
    }
    reported_ = std::max(reported_, estimate);
    return reported_;
}
