#pragma once
// Where each captured frame sits on the music's clock. The show reads its time from the
// playback position in bytes (44100 Hz, stereo, 16-bit: 176400 bytes a second), so the
// capture works in bytes too, in integers, so that every run places every frame alike.

#include <cstdint>

constexpr std::int64_t bytes_per_second = 176400;
constexpr std::int64_t bytes_per_sample_frame = 4; // one sample on each of two channels

// The position at which frame n (from 0) is composed: floor(n * 176400 / fps), on the
// whole sample frame it falls in, because an audio device plays and reports whole sample
// frames (the same value wherever fps divides 44100, as 25, 30, 50 and 60 do).
std::int64_t frame_position(std::int64_t n, int fps);

// How many frames cover a recording of total_bytes: those whose position lies before its end.
std::int64_t frame_count(std::int64_t total_bytes, int fps);

// The frame on screen at position `bytes`: the last one composed at or before it.
std::int64_t frame_at(std::int64_t bytes, int fps);

// Seconds to a position on a whole sample frame, rounded to the nearest; -1 when the
// value is not a finite number from 0 to max_seconds.
constexpr double max_seconds = 6 * 3600; // what one WAV file can hold, with room
std::int64_t seconds_to_bytes(double seconds);
