#pragma once
// The sound half of a host: one output device at 44100 Hz, stereo, signed 16-bit, that
// pulls its audio through a callback (on its own thread for a real device, on the
// caller's for the headless one). Exactly one host is linked into a program; it defines
// host_audio. The audio library (platform/audio) calls only this.
#include <cstddef>
#include <cstdint>

// Fills `bytes` bytes of interleaved 44100 Hz stereo s16 at `out`. Called with the device
// locked (see lock).
using host_audio_fill = void (*)(void *user, unsigned char *out, std::size_t bytes);

struct host_audio_api {
    // Opens the device, paused (it pulls nothing until start). Returns 1, or 0 when no
    // output device can be opened.
    int (*open)(host_audio_fill fill, void *user);
    void (*close)();
    void (*start)();
    void (*pause)();
    // While held, the fill callback does not run.
    void (*lock)();
    void (*unlock)();
    // A monotonic clock, read in the callback to time it and by the position queries.
    std::uint64_t (*clock)();
    std::uint64_t (*clock_frequency)(); // ticks per second
};

extern const host_audio_api host_audio;
