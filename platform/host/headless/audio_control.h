#pragma once
// The headless host's virtual audio device, for tests and the capture tool: no sound
// hardware, and a clock that moves only when the caller moves it. Time is counted in bytes
// of 44100 Hz stereo s16 output (176400 per second), so positions come out exact.
#include <cstddef>
#include <cstdint>

// Whether the device can be opened (default: yes). With false, BASS_Init fails as it does
// on a machine without sound output.
void headless_audio_set_available(bool available);

bool headless_audio_is_open();
bool headless_audio_is_running(); // opened and started

// Plays `bytes` bytes: pulls exactly that many through the device callback (silence while
// the device is paused, as a real device plays), hands them to the sink, then moves the
// clock on by their playing time. Use whole sample frames (multiples of 4).
void headless_audio_advance(std::size_t bytes);

// The two halves of advance, for tests that look between a callback and the time it covers:
// a callback now, with no time passing; and time passing with no callback.
void headless_audio_pull(std::size_t bytes);
void headless_audio_wait(std::uint64_t bytes);

// The output's latency: what it pulls is heard this many bytes of playing time after the
// clock has passed over it (default 0: at once). Kept until set again.
void headless_audio_set_latency(std::uint64_t bytes);

// The clock: bytes' worth of playing time since the process started.
std::uint64_t headless_audio_clock_bytes();

// Receives every byte the device plays, in order (null: none). The capture tool writes its
// WAV from it.
using headless_audio_sink = void (*)(void *user, const unsigned char *bytes, std::size_t count);
void headless_audio_set_sink(headless_audio_sink sink, void *user);
