// The capture's own work per frame (sharp scaling to 4:3, YUV 4:2:0 conversion, writing),
// against memcpy of one frame in the same run. "x_real_time" is how many times faster than
// real time a 60 fps capture would go if this were all it did; a timed run of ulvo-capture
// adds the show's own composition and presentation.

#include "tools/capture/png_file.h"
#include "tools/capture/scale.h"
#include "tools/capture/y4m.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int width = 320;
constexpr int height = 200;

std::vector<std::uint32_t> noise_frame_data() {
    std::vector<std::uint32_t> frame(width * height);
    std::uint32_t x = 7;
    for (std::uint32_t &p : frame)
        p = (x = x * 1664525u + 1013904223u) >> 8;
    return frame;
}

void real_time_counter(benchmark::State &state) {
    // One iteration is one frame of a 60 fps video.
    state.counters["x_real_time"] = benchmark::Counter(static_cast<double>(state.iterations()) / 60,
                                                       benchmark::Counter::kIsRate);
}

void bm_memcpy_frame(benchmark::State &state) {
    const std::vector<std::uint32_t> src = noise_frame_data();
    std::vector<std::uint32_t> dst(src.size());
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        std::memcpy(dst.data(), src.data(), src.size() * sizeof src[0]);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(bm_memcpy_frame);

void bm_sharp_scale(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<std::uint32_t> src = noise_frame_data();
    sharp_scaler scaler(width, height, scaled_width(scale), scaled_height(scale));
    std::vector<std::uint32_t> dst(static_cast<std::size_t>(scaled_width(scale)) *
                                   scaled_height(scale));
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        scaler.scale(src.data(), dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    real_time_counter(state);
}
BENCHMARK(bm_sharp_scale)->Arg(1)->Arg(3);

// Everything the capture does with a video frame: scale, convert, write (to /dev/null, so
// the disk is not measured).
void bm_video_frame(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<std::uint32_t> src = noise_frame_data();
    sharp_scaler scaler(width, height, scaled_width(scale), scaled_height(scale));
    std::vector<std::uint32_t> scaled(static_cast<std::size_t>(scaled_width(scale)) *
                                      scaled_height(scale));
    std::FILE *sink = std::fopen("/dev/null", "wb");
    if (!sink) {
        state.SkipWithError("no /dev/null");
        return;
    }
    y4m_writer y4m(sink, scaled_width(scale), scaled_height(scale), 60);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        scaler.scale(src.data(), scaled.data());
        if (!y4m.write_frame(scaled.data()))
            state.SkipWithError("write failed");
    }
    std::fclose(sink);
    real_time_counter(state);
}
BENCHMARK(bm_video_frame)->Arg(1)->Arg(3);

void bm_png_frame(benchmark::State &state) {
    const std::vector<std::uint32_t> src = noise_frame_data();
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        if (!write_png("/dev/null", src.data(), width, height, 1)) // as --png writes frames
            state.SkipWithError("write failed");
    real_time_counter(state);
}
BENCHMARK(bm_png_frame);

} // namespace

BENCHMARK_MAIN();
