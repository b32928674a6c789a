// The display's row converters over a 320x200 frame, as fb_update runs them, against memcpy
// of the frame and against the same conversion by SDL and by pixman, all in one run. Prints
// each one's ratios at the end.
#include "fb/fb_internal.h"
#include "platform/host/headless/display_control.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// Every allocation in the process is counted, to show that presenting a frame makes none.
std::atomic<long> allocations{0};

void *operator new(std::size_t size) {
    ++allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}

namespace {

const int W = 320;
const int H = 200;

struct frame_data {
    std::vector<std::uint32_t> src;
    std::vector<unsigned char> dst;
    frame_data() : src(W * H), dst(W * H * 4) {
        std::uint32_t x = 12345;
        for (std::uint32_t &p : src) {
            x = x * 1103515245u + 12345u;
            p = x;
        }
    }
};

frame_data &data() {
    static frame_data d;
    return d;
}

struct format {
    const char *name;
    pixel_converter convert;
    int bytes;
    Uint32 sdl_format;
    pixman_format_code_t pixman_format;
};

const format formats[] = {
    {"32", copy_pixels32, 4, SDL_PIXELFORMAT_RGB888, PIXMAN_x8r8g8b8},
    {"24", convert_rgb888, 3, SDL_PIXELFORMAT_BGR24, PIXMAN_r8g8b8},
    {"16", convert_rgb565, 2, SDL_PIXELFORMAT_RGB565, PIXMAN_r5g6b5},
    {"15", convert_rgb555, 2, SDL_PIXELFORMAT_RGB555, PIXMAN_x1r5g5b5},
};

void bm_memcpy(benchmark::State &state) {
    frame_data &d = data();
    for (auto _ : state) {
        std::memcpy(d.dst.data(), d.src.data(), W * H * 4);
        benchmark::DoNotOptimize(d.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

// Row by row into a surface whose pitch is the row, as fb_update does.
void bm_ours(benchmark::State &state, const format *f) {
    frame_data &d = data();
    for (auto _ : state) {
        for (int y = 0; y < H; ++y)
            f->convert(d.dst.data() + static_cast<std::size_t>(y * W * f->bytes),
                       d.src.data() + static_cast<std::size_t>(y * W), W);
        benchmark::DoNotOptimize(d.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

void bm_sdl(benchmark::State &state, const format *f) {
    frame_data &d = data();
    for (auto _ : state) {
        if (SDL_ConvertPixels(W, H, SDL_PIXELFORMAT_RGB888, d.src.data(), W * 4, f->sdl_format,
                              d.dst.data(), W * f->bytes) != 0) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        benchmark::DoNotOptimize(d.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

void bm_pixman(benchmark::State &state, const format *f) {
    frame_data &d = data();
    pixman_image_t *src = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, d.src.data(), W * 4);
    // pixman wants its row strides in whole 32-bit words: 960 and 640 bytes are.
    pixman_image_t *dst = pixman_image_create_bits(
        f->pixman_format, W, H, reinterpret_cast<std::uint32_t *>(d.dst.data()), W * f->bytes);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(d.dst.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(dst);
    pixman_image_unref(src);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

// A whole fb_update on the headless host (which then does nothing with the frame): the
// converter's pass plus the locking and flipping around it.
void bm_fb_update(benchmark::State &state, int fullscreen, int bits) {
    headless_config config = headless_default_config();
    config.keep_frames = false;
    config.mode_bits = {bits};
    config.desktop_bits = bits;
    headless_configure(config);
    if (!fb_open("bench", W, H, fullscreen)) {
        state.SkipWithError("fb_open failed");
        fb_close();
        return;
    }
    frame_data &d = data();
    long before = allocations.load();
    for (auto _ : state)
        fb_update(d.src.data());
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
    fb_close();
    headless_configure(headless_default_config());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

// Keeps every result, to print the ratios once all have run. Run with
// --benchmark_repetitions=N for steadier ratios.
class ratio_reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        // CPU time, and the fastest repetition: on a shared machine the rest mostly measures
        // the neighbours.
        for (const Run &run : runs) {
            if (run.error_occurred || !run.aggregate_name.empty())
                continue;
            std::string name = run.run_name.function_name;
            double t = run.GetAdjustedCPUTime();
            if (!times.count(name) || t < times[name])
                times[name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::RegisterBenchmark("memcpy", bm_memcpy);
    for (const format &f : formats) {
        std::string n = f.name;
        benchmark::RegisterBenchmark(("ours/" + n).c_str(), bm_ours, &f);
        benchmark::RegisterBenchmark(("sdl/" + n).c_str(), bm_sdl, &f);
        benchmark::RegisterBenchmark(("pixman/" + n).c_str(), bm_pixman, &f);
    }
    benchmark::RegisterBenchmark("fb_update/full/32", bm_fb_update, 1, 32);
    benchmark::RegisterBenchmark("fb_update/full/16", bm_fb_update, 1, 16);
    benchmark::RegisterBenchmark("fb_update/window/16", bm_fb_update, 0, 16);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto &t = reporter.times;
    if (!t.count("memcpy"))
        return 0;
    std::printf(
        "\n320x200 frame, time relative to memcpy of the frame (%.1f us of CPU); peers relative "
        "to ours\n",
        t["memcpy"] / 1000.0);
    std::printf("%-6s %-16s %-14s %-14s %-14s\n", "bits", "converter", "ours/memcpy", "sdl/ours",
                "pixman/ours");
    const char *names[] = {"copy_pixels32", "convert_rgb888", "convert_rgb565", "convert_rgb555"};
    for (int i = 0; i < 4; ++i) {
        std::string n = formats[i].name;
        if (!t.count("ours/" + n))
            continue;
        double ours = t["ours/" + n];
        std::printf("%-6s %-16s %-14.2f %-14.2f %-14.2f\n", formats[i].name, names[i],
                    ours / t["memcpy"], t.count("sdl/" + n) ? t["sdl/" + n] / ours : 0.0,
                    t.count("pixman/" + n) ? t["pixman/" + n] / ours : 0.0);
    }
    for (const char *n : {"fb_update/full/32", "fb_update/full/16", "fb_update/window/16"})
        if (t.count(n))
            std::printf("%-23s %-14.2f (the whole call, relative to memcpy)\n", n,
                        t[n] / t["memcpy"]);
    return 0;
}
