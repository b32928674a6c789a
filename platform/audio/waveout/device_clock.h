#pragma once
// The position of an output device that reports what it has played in coarse steps,
// made smooth: between two changes of the device's own count it advances with the time
// at the nominal rate, never more than `max_lead` bytes past that count, never past what
// the device was given, and never backwards. Where the count leaps (Wine's waveOut starts
// about 100 ms ahead), the position catches up at no more than twice the nominal rate
// instead of leaping with it. Pure arithmetic; the caller serialises access.
#include "platform/audio/pcm.h"

#include <cstdint>

class device_clock {
  public:
    static constexpr std::uint64_t bytes_per_second = pcm_bytes_per_second;
    static constexpr std::uint64_t frame_bytes = pcm_frame_bytes;
    static constexpr std::uint64_t max_lead = bytes_per_second / 20; // 50 ms

    explicit device_clock(std::uint64_t ticks_per_second) : ticks_per_second_(ticks_per_second) {}

    // At time `now` (in ticks) the device reports `played` bytes played of the `given`
    // bytes it was handed; `running` is false while it is paused. The first call sets
    // where the catching up starts from.
    std::uint64_t position(std::uint64_t now, std::uint64_t played, std::uint64_t given,
                           bool running);

  private:
    std::uint64_t bytes_in(std::uint64_t now, std::uint64_t since) const;

    std::uint64_t ticks_per_second_;
    bool anchored_ = false;
    std::uint64_t anchor_played_ = 0;
    std::uint64_t anchor_time_ = 0;
    std::uint64_t reported_ = 0;
    std::uint64_t reported_time_ = 0;
    bool reported_once_ = false;
};
