#pragma once
// The sound half of a host: one output device at 44100 Hz, stereo, signed 16-bit, that
// pulls its audio through a callback (on its own thread for a real device, on the
// caller's for the headless one), and says how far it has got in playing it. Exactly one
// host is linked into a program; it defines host_audio. The audio library (platform/audio)
// calls only this.
#include <cstddef>
#include <cstdint>

// Fills `bytes` bytes of interleaved 44100 Hz stereo s16 at `out`. Called with the device
// locked (see lock).
using host_audio_fill = void (*)(void *user, unsigned char *out, std::size_t bytes);

// What an output knows of what has been heard of the bytes its fill callback handed it
// since it was opened. The audio library turns it into the position (platform/audio/clock.h).
struct host_audio_timing {
    // An output that counts what it has played (a sound server's timing information): at
    // clock time `counted_at`, `played` bytes had left the speakers, and playing runs on at
    // the nominal rate from there while `running`.
    bool counted = false;
    std::uint64_t played = 0;
    std::uint64_t counted_at = 0;
    bool running = false;
    // An output that does not count: how long after the fill callback that hands bytes they
    // are heard, in bytes of playing time (its own buffer; the headless device's set
    // latency). The library times the callbacks.
    std::uint64_t latency = 0;
};

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
    // Read by every position query, without the device lock: cheap, and never waits for
    // the sound server.
    host_audio_timing (*timing)();
};

extern const host_audio_api host_audio;
