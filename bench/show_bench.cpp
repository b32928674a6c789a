// The show's frame work against memcpy of one frame and pixman, in the same run. Each
// figure is printed as a ratio to the memcpy baseline at the end.

#include "show/show.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// Allocations made by the show's own code (linked with --wrap), to show the frame
// loop makes none.
extern "C" {
void *__real_malloc(std::size_t size);
void *__real_calloc(std::size_t count, std::size_t size);
void *__real_realloc(void *block, std::size_t size);
long show_allocations = 0;
void *__wrap_malloc(std::size_t size) {
    ++show_allocations;
    return __real_malloc(size);
}
void *__wrap_calloc(std::size_t count, std::size_t size) {
    ++show_allocations;
    return __real_calloc(count, size);
}
void *__wrap_realloc(void *block, std::size_t size) {
    ++show_allocations;
    return __real_realloc(block, size);
}
}

namespace {

constexpr std::size_t frame_bytes = sizeof(std::uint32_t) * frame_pixels;

struct pictures {
    std::vector<std::vector<std::uint32_t>> frames;
    pictures() : frames(image_count, std::vector<std::uint32_t>(frame_pixels)) {
        std::uint32_t x = 7;
        for (int i = 0; i < image_count; ++i) {
            for (std::uint32_t &p : frames[i])
                p = (x = x * 1664525u + 1013904223u) >> 8;
            image_table[i] = frames[i].data();
        }
    }
};

void fill(std::vector<std::uint32_t> &frame, std::uint32_t seed) {
    for (std::uint32_t &p : frame)
        p = (seed = seed * 1664525u + 1013904223u) >> 8;
}

void bm_memcpy(benchmark::State &state) {
    std::vector<std::uint32_t> src(frame_pixels), dst(frame_pixels);
    fill(src, 1);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        std::memcpy(dst.data(), src.data(), frame_bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame_bytes));
}
BENCHMARK(bm_memcpy)->Name("memcpy_frame");

// Into the work frame from a picture on the heap, as the fades do.
void bm_blend(benchmark::State &state) {
    std::vector<std::uint32_t> src(frame_pixels);
    fill(src, 1);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        blend_frame(work_frame, src.data(), frame_pixels, 10);
        benchmark::DoNotOptimize(work_frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(bm_blend)->Name("blend_frame");

void bm_noise(benchmark::State &state) {
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        noise_frame(scratch_frame, 18467);
        benchmark::DoNotOptimize(scratch_frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(bm_noise)->Name("noise_frame");

// The same cross-fade through pixman: an opaque source over the frame through a constant mask.
void bm_pixman(benchmark::State &state) {
    std::vector<std::uint32_t> src(frame_pixels), dst(frame_pixels);
    fill(src, 1);
    fill(dst, 2);
    pixman_image_t *s = pixman_image_create_bits(PIXMAN_x8r8g8b8, frame_width, frame_height,
                                                 src.data(), frame_width * 4);
    pixman_image_t *d = pixman_image_create_bits(PIXMAN_x8r8g8b8, frame_width, frame_height,
                                                 dst.data(), frame_width * 4);
    const pixman_color_t alpha = {0, 0, 0, static_cast<std::uint16_t>(10 * 0x101)};
    pixman_image_t *m = pixman_image_create_solid_fill(&alpha);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 0, 0, frame_width,
                                 frame_height);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(m);
    pixman_image_unref(d);
    pixman_image_unref(s);
}
BENCHMARK(bm_pixman)->Name("pixman_blend");

// One composed frame per phase, at a position inside it.
void bm_phase(benchmark::State &state, std::int64_t position) {
    static pictures table;
    std::memcpy(work_frame, image_table[title_slot], frame_bytes);
    compose_frame(position); // warm up, outside the counted allocations
    const long before = show_allocations;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        compose_frame(position);
        benchmark::DoNotOptimize(work_frame);
        benchmark::ClobberMemory();
    }
    state.counters["allocs"] = static_cast<double>(show_allocations - before);
}
BENCHMARK_CAPTURE(bm_phase, title, 176400)->Name("frame_title");
BENCHMARK_CAPTURE(bm_phase, fade, 20 * 176400)->Name("frame_fade");
BENCHMARK_CAPTURE(bm_phase, double_noise, 60 * 176400)->Name("frame_double_noise");
BENCHMARK_CAPTURE(bm_phase, strobe, 70 * 176400)->Name("frame_strobe");

// Prints the usual table, and remembers each time for the ratios.
class ratio_reporter : public benchmark::ConsoleReporter {
  public:
    // The median of the repetitions where there are several, else the one run.
    std::map<std::string, double> times, medians;
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times[run.run_name.str()] = run.GetAdjustedRealTime();
            else if (run.aggregate_name == "median")
                medians[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    const std::map<std::string, double> &result() const {
        return medians.empty() ? times : medians;
    }
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::map<std::string, double> &times = reporter.result();
    const auto base = times.find("memcpy_frame");
    if (base == times.end())
        return 0;
    std::printf("\n%-22s %10s %14s\n", "", "ns", "x memcpy");
    for (const auto &[name, time] : times)
        std::printf("%-22s %10.0f %14.2f\n", name.c_str(), time, time / base->second);
    const auto blend = times.find("blend_frame");
    const auto pixman = times.find("pixman_blend");
    if (blend != times.end() && pixman != times.end())
        std::printf("pixman / blend_frame: %.2f\n", pixman->second / blend->second);
    return 0;
}
