// How smoothly the show's clock runs on a real-time device: SDL's dummy audio driver
// (unless SDL_AUDIODRIVER names another). The position is sampled every 2 ms for 3 s of
// real time and compared with the time elapsed since the stream started playing.
#include "platform/bass.h"

#include "tests/support/tone_mp3.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr double bytes_per_ms = 176.4;

void BM_PositionOnARealTimeDevice(benchmark::State &state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string path = scratch_path("position_bench.mp3");
    if (!write_file(path, encode_tone_mp3({44100, 2, 440, 5.0})) ||
        !BASS_Init(1, 44100, 256, nullptr, nullptr)) {
        state.SkipWithError("no audio device");
        return;
    }
    const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    std::remove(path.c_str()); // the stream keeps it open
    if (!stream) {
        state.SkipWithError("the stream did not open");
        return;
    }
    BASS_Start();
    using clock = std::chrono::steady_clock;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        BASS_StreamPlay(stream, 1, 0);
        const clock::time_point start = clock::now();
        double largest_step = 0;
        double largest_excess = 0; // a step beyond the time between the two samples
        double largest_distance = 0;
        double last_distance = 0;
        int decreases = 0;
        // The device's own start-up (a sound server may take a while to start a stream),
        // and how closely the position then keeps to the time elapsed since.
        double start_ms = -1;
        double largest_distance_after_start = 0;
        int samples = 0;
        QWORD previous = BASS_ChannelGetPosition(stream);
        clock::time_point previous_time = start;
        for (int k = 1; k <= 1500; ++k) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(2 * k));
            const QWORD position = BASS_ChannelGetPosition(stream);
            const clock::time_point now = clock::now();
            const double elapsed_ms =
                std::chrono::duration<double, std::milli>(now - start).count();
            const double since_ms =
                std::chrono::duration<double, std::milli>(now - previous_time).count();
            if (position < previous) {
                ++decreases;
            } else {
                const double step = static_cast<double>(position - previous);
                largest_step = std::max(largest_step, step);
                largest_excess = std::max(largest_excess, step - since_ms * bytes_per_ms);
            }
            last_distance = static_cast<double>(position) - elapsed_ms * bytes_per_ms;
            if (start_ms < 0 && position > 0)
                start_ms = elapsed_ms - static_cast<double>(position) / bytes_per_ms;
            if (start_ms >= 0)
                largest_distance_after_start = std::max(
                    largest_distance_after_start, std::abs(static_cast<double>(position) -
                                                           (elapsed_ms - start_ms) * bytes_per_ms));
            largest_distance = std::max(largest_distance, std::abs(last_distance));
            previous = position;
            previous_time = now;
            ++samples;
        }
        state.counters["samples"] = samples;
        state.counters["decreases"] = decreases;
        state.counters["largest_step_bytes"] = largest_step;
        state.counters["largest_step_ms"] = largest_step / bytes_per_ms;
        state.counters["largest_step_beyond_elapsed_ms"] = largest_excess / bytes_per_ms;
        state.counters["largest_distance_bytes"] = largest_distance;
        state.counters["largest_distance_ms"] = largest_distance / bytes_per_ms;
        state.counters["distance_at_end_ms"] = last_distance / bytes_per_ms;
        state.counters["start_ms"] = start_ms;
        state.counters["largest_distance_after_start_ms"] =
            largest_distance_after_start / bytes_per_ms;
    }
}

BENCHMARK(BM_PositionOnARealTimeDevice)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
