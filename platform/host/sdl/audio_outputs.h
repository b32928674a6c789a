#pragma once
// The native host's two sound outputs, each a whole host_audio_api; audio.cpp chooses
// between them when the device opens. Both time themselves on the monotonic clock below.
#include "platform/host/audio.h"

#include <cstdint>

// libpulse: the sound server (PulseAudio, or PipeWire's PulseAudio service), whose timing
// information says what has been played. Its open fails where no server answers.
extern const host_audio_api pulse_audio_output;
// SDL's audio output: any of SDL's drivers, its own buffer counted as its latency.
extern const host_audio_api sdl_audio_output;

// CLOCK_MONOTONIC in nanoseconds: the clock libpulse times its interpolation on.
std::uint64_t native_audio_clock();
constexpr std::uint64_t native_audio_clock_frequency = 1000000000;
