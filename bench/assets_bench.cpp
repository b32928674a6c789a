// load_image of a 320x200 JPEG and GIF against decoding the same bytes with TurboJPEG or
// giflib alone, in the same run. Reports each ratio of CPU times after the table (the
// machine may be shared).
#include "assets/assets.h"
#include "platform/win32/screen.h"
#include "tests/picture_files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

// Smooth gradients with grain, so that both coders have real work, as in a photograph.
std::vector<std::uint32_t> photo_like(int width, int height) {
    std::vector<std::uint32_t> p = test_pattern(width, height);
    std::uint32_t seed = 1;
    for (auto &v : p) {
        seed = seed * 1103515245 + 12345;
        v ^= (seed >> 16) & 0x0F0F0F;
    }
    return p;
}

bytes jpeg_file() {
    const std::vector<std::uint32_t> pixels = photo_like(320, 200);
    tjhandle compressor = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(compressor, reinterpret_cast<const unsigned char *>(pixels.data()), 320, 0, 200,
                TJPF_BGRX, &out, &size, TJSAMP_420, 85, 0);
    bytes b(out, out + size);
    tjFree(out);
    tjDestroy(compressor);
    return b;
}

bytes gif_file() {
    gif_spec spec;
    spec.screen_width = 320;
    spec.screen_height = 200;
    for (std::uint32_t i = 0; i < 256; ++i)
        spec.palette.push_back(i * 0x010101);
    gif_frame f;
    f.width = 320;
    f.height = 200;
    for (std::uint32_t v : photo_like(320, 200))
        f.indexes.push_back(static_cast<std::uint8_t>(v >> 8));
    spec.frames.push_back(f);
    return make_gif(spec);
}

bytes jpeg, gif;

void load(benchmark::State &state, const char *name) {
    while (state.KeepRunning()) {
        std::uint32_t *pixels = nullptr;
        if (!load_image(name, &pixels, nullptr, nullptr))
            state.SkipWithError("load_image failed");
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
}

void BM_load_image_jpeg(benchmark::State &state) {
    load(state, "bench.jpg");
}
void BM_load_image_gif(benchmark::State &state) {
    load(state, "bench.gif");
}

void BM_turbojpeg_alone(benchmark::State &state) {
    tjhandle decompressor = tjInitDecompress();
    std::vector<std::uint32_t> pixels(64000);
    while (state.KeepRunning()) {
        int w = 0, h = 0, sub = 0, cs = 0;
        tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &w, &h, &sub, &cs);
        tjDecompress2(decompressor, jpeg.data(), jpeg.size(),
                      reinterpret_cast<unsigned char *>(pixels.data()), w, 0, h, TJPF_BGRX, 0);
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(decompressor);
}

struct memory_source {
    const bytes *b;
    std::size_t at;
};
int read_memory(GifFileType *g, GifByteType *out, int n) {
    auto *s = static_cast<memory_source *>(g->UserData);
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(n), s->b->size() - s->at);
    std::memcpy(out, s->b->data() + s->at, k);
    s->at += k;
    return static_cast<int>(k);
}

void BM_giflib_alone(benchmark::State &state) {
    while (state.KeepRunning()) {
        memory_source source = {&gif, 0};
        int error = 0;
        GifFileType *g = DGifOpen(&source, read_memory, &error);
        DGifSlurp(g);
        benchmark::DoNotOptimize(g->SavedImages);
        DGifCloseFile(g, &error);
    }
}

BENCHMARK(BM_turbojpeg_alone);
BENCHMARK(BM_load_image_jpeg);
BENCHMARK(BM_giflib_alone);
BENCHMARK(BM_load_image_gif);

class ratio_reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs)
            times[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char **argv) {
    data_folder data;
    jpeg = jpeg_file();
    gif = gif_file();
    if (!data.write("bench.jpg", jpeg) || !data.write("bench.gif", gif))
        return 1;
    screen_set_mode({320, 200, 32});

    benchmark::Initialize(&argc, argv);
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto ratio = [&](const char *path, const char *alone) {
        const auto p = reporter.times.find(path), a = reporter.times.find(alone);
        if (p != reporter.times.end() && a != reporter.times.end() && a->second > 0)
            std::printf("%s / %s = %.2f\n", path, alone, p->second / a->second);
    };
    std::printf("JPEG %zu bytes, GIF %zu bytes\n", jpeg.size(), gif.size());
    ratio("BM_load_image_jpeg", "BM_turbojpeg_alone");
    ratio("BM_load_image_gif", "BM_giflib_alone");
    return 0;
}
