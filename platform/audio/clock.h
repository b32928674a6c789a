#pragma once
// The playback position of one stream, estimated from the output device's callbacks.
// Pure arithmetic on the times and byte counts it is given, so every output (SDL, the
// headless device, waveOut) can share it; the caller serialises access.
//
// A device callback at time T hands the device B bytes. From then on the position runs at
// the nominal rate from where it had got to, never past all the bytes handed so far, and
// never less than it was reported before: a callback that comes late holds the position at
// what was handed. A callback that comes early does not make it jump (a device may ask for
// two buffers at once); but a device that asks for more has certainly played everything it
// was given before its previous callback, so the position is at least that, which keeps it
// within one buffer of a device that runs fast. In whole sample frames.
#include "platform/audio/pcm.h"

#include <cstdint>

class play_clock {
  public:
    static constexpr std::uint64_t bytes_per_second = pcm_bytes_per_second;
    static constexpr std::uint64_t frame_bytes = pcm_frame_bytes;

    // `ticks_per_second`: the unit of the times passed in (must be non-zero).
    explicit play_clock(std::uint64_t ticks_per_second);

    // Back to position 0 with nothing handed, as when a stream starts playing.
    void restart();

    // A device callback at `now` handed `bytes` bytes of the stream to the device (0 once
    // the stream has ended, so the position settles at its length).
    void handed(std::uint64_t now, std::uint64_t bytes);

    // The position at `now`. Not const: it remembers what it reported, so that a clock
    // read out of order (an earlier `now` after a later one) cannot make it go back.
    std::uint64_t position(std::uint64_t now);

    std::uint64_t handed_total() const { return total_; }

  private:
    // Where the position was at the last callback, plus what it has run on since.
    std::uint64_t estimate(std::uint64_t now) const;

    std::uint64_t ticks_per_second_;
    std::uint64_t anchor_ = 0;     // the position at the last callback
    std::uint64_t total_ = 0;      // handed in all
    std::uint64_t last_bytes_ = 0; // handed at the last callback
    std::uint64_t callback_time_ = 0;
    bool called_ = false;
    std::uint64_t reported_ = 0;
};
