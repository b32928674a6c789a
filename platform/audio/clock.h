#pragma once
// The playback position: what is heard now. Pure arithmetic on the times, byte counts and
// output timings it is given, shared by every output; the caller serialises access.
//
// The output's device hears the bytes its fill callback hands it in order, so a stream's
// bytes lie at one stretch of the device's bytes: from the device offset of its first fill
// on. Its position is how far the device's heard count has got into that stretch.
//
// The heard count comes from the output (platform/host/audio.h): a sound server counts what
// it has played, and the count runs on at the nominal rate from the moment it was taken.
// An output that cannot count is timed by its callbacks (play_clock) less its latency.
#include "platform/audio/pcm.h"
#include "platform/host/audio.h"

#include <cstdint>

// Bytes of playing time in `ticks` ticks of a clock of `ticks_per_second`, in whole sample
// frames; no overflow for any gap.
std::uint64_t play_bytes_in(std::uint64_t ticks, std::uint64_t ticks_per_second);

// What a device that pulls through callbacks has played, estimated from its callbacks.
//
// A device callback at time T hands the device B bytes. From then on the count runs at the
// nominal rate from where it had got to, never past all the bytes handed so far, and never
// less than it was reported before: a callback that comes late holds the count at what was
// handed. A callback that comes early does not make it jump (a device may ask for two
// buffers at once); but a device that asks for more has certainly played everything it was
// given before its previous callback, so the count is at least that, which keeps it within
// one buffer of a device that runs fast. In whole sample frames.
class play_clock {
  public:
    static constexpr std::uint64_t bytes_per_second = pcm_bytes_per_second;
    static constexpr std::uint64_t frame_bytes = pcm_frame_bytes;

    // `ticks_per_second`: the unit of the times passed in (must be non-zero).
    explicit play_clock(std::uint64_t ticks_per_second);

    // Back to 0 with nothing handed, as when a device opens.
    void restart();

    // A device callback at `now` handed `bytes` bytes to the device.
    void handed(std::uint64_t now, std::uint64_t bytes);

    // The count at `now`. Not const: it remembers what it reported, so that a clock read
    // out of order (an earlier `now` after a later one) cannot make it go back.
    std::uint64_t position(std::uint64_t now);

    std::uint64_t handed_total() const { return total_; }
    std::uint64_t ticks_per_second() const { return ticks_per_second_; }

  private:
    // Where the count was at the last callback, plus what it has run on since.
    std::uint64_t estimate(std::uint64_t now) const;

    std::uint64_t ticks_per_second_;
    std::uint64_t anchor_ = 0;     // the count at the last callback
    std::uint64_t total_ = 0;      // handed in all
    std::uint64_t last_bytes_ = 0; // handed at the last callback
    std::uint64_t callback_time_ = 0;
    bool called_ = false;
    std::uint64_t reported_ = 0;
};

// The device's bytes heard at `now` (clock ticks of `callbacks`), from what the output
// reported: its own count run on from when it was taken, or the callbacks' count less its
// latency. Never more than was handed, in whole sample frames.
std::uint64_t heard_bytes(const host_audio_timing &timing, play_clock &callbacks,
                          std::uint64_t now);

// One stream's position on the device's heard count: 0 until its first bytes are handed,
// then how far the heard count is into them, at most all it has handed (so it stays at its
// length after its end), and never back.
class stream_position {
  public:
    // Not started: position 0 until the next fill hands its bytes.
    void restart() { *this = stream_position(); }

    // A fill hands `bytes` of the stream at `device_offset` (the device's bytes handed
    // before this fill).
    void handed(std::uint64_t device_offset, std::uint64_t bytes);

    std::uint64_t position(std::uint64_t heard);

  private:
    bool started_ = false;
    std::uint64_t start_ = 0; // its first byte's device offset
    std::uint64_t handed_ = 0;
    std::uint64_t reported_ = 0;
};
