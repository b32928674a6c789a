// The MP3 stream's cost and quality: decoding speed against copying the same bytes,
// memory for a minute and for an hour of music, and the resampler we use against the two
// others at hand (libmpg123's own MPG123_FORCE_RATE, and SDL_AudioStream).
#include "platform/audio/mp3_stream.h"

#include "tests/support/tone_mp3.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace {

const std::vector<unsigned char> &tone_file(const tone_spec &tone) {
    static std::map<std::string, std::vector<unsigned char>> made;
    const std::string key = std::to_string(tone.rate) + "/" + std::to_string(tone.channels) + "/" +
                            std::to_string(tone.frequency) + "/" + std::to_string(tone.seconds) +
                            "/" + std::to_string(tone.kbps) + "/" + std::to_string(tone.info_tag);
    auto found = made.find(key);
    if (found == made.end())
        found = made.emplace(key, encode_tone_mp3(tone)).first;
    return found->second;
}

std::size_t decode_all(mp3_stream &stream) {
    unsigned char buffer[4096];
    std::size_t total = 0;
    std::size_t got;
    while ((got = stream.read(buffer, sizeof buffer)) > 0)
        total += got;
    return total;
}

// Ten seconds of music at the given rate and channel count, decoded from memory.
void BM_Decode(benchmark::State &state) {
    const tone_spec tone{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 440,
                         10.0};
    const std::vector<unsigned char> &mp3 = tone_file(tone);
    std::size_t bytes = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        auto stream = mp3_stream::open_memory(mp3.data(), mp3.size());
        bytes = decode_all(*stream);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["times_real_time"] = benchmark::Counter(
        static_cast<double>(bytes) / 176400.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Decode)
    ->ArgNames({"rate", "channels"})
    ->Args({44100, 2})
    ->Args({48000, 2})
    ->Args({22050, 1})
    ->Unit(benchmark::kMillisecond);

// The baseline: copying the ten seconds the decoder delivers.
void BM_CopyTheSameBytes(benchmark::State &state) {
    std::vector<unsigned char> from(176400 * 10, 1);
    std::vector<unsigned char> to(from.size());
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        for (std::size_t at = 0; at < from.size(); at += 4096)
            std::memcpy(to.data() + at, from.data() + at,
                        std::min<std::size_t>(4096, from.size() - at));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * from.size()));
}
BENCHMARK(BM_CopyTheSameBytes)->Unit(benchmark::kMillisecond);

std::size_t heap_in_use() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A file of `minutes` minutes: one encoded ten-second piece, without the tag frame, repeated
// (MP3 frames join into one valid stream).
std::string long_file(int minutes, int rate) {
    const std::string path = scratch_path("decode_bench_" + std::to_string(minutes) + "min_" +
                                          std::to_string(rate) + ".mp3");
    const std::vector<unsigned char> &piece = tone_file({rate, 2, 440, 10.0, 128, false});
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return {};
    for (int i = 0; i < minutes * 6; ++i)
        std::fwrite(piece.data(), 1, piece.size(), file);
    std::fclose(file);
    return path;
}

// Heap in use while a whole file plays, above what was in use before it opened: it should
// not depend on the file's length.
void BM_StreamedMemory(benchmark::State &state) {
    const int minutes = static_cast<int>(state.range(0));
    const std::string path = long_file(minutes, static_cast<int>(state.range(1)));
    std::size_t peak = 0;
    std::size_t bytes = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        const std::size_t before = heap_in_use();
        auto stream = mp3_stream::open_file(path.c_str(), 0, 0);
        if (!stream) {
            state.SkipWithError("the file did not open");
            return;
        }
        peak = heap_in_use() - before;
        unsigned char buffer[4096];
        std::size_t got;
        bytes = 0;
        for (int reads = 0; (got = stream->read(buffer, sizeof buffer)) > 0; ++reads) {
            bytes += got;
            if (reads % 64 == 0)
                peak = std::max(peak, heap_in_use() - before);
        }
    }
    std::remove(path.c_str());
    state.counters["peak_heap_KiB"] = static_cast<double>(peak) / 1024;
    state.counters["played_minutes"] = static_cast<double>(bytes) / 176400 / 60;
}
BENCHMARK(BM_StreamedMemory)
    ->ArgNames({"minutes", "rate"})
    ->ArgsProduct({{1, 60}, {44100, 48000}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Resampling quality, measured on what the listener gets: a tone encoded at its own rate,
// decoded and brought to 44100 Hz. SNR is against the best-fitting sine of the tone's
// frequency over the middle 80%, in dB (decoding at the file's own rate is the reference:
// that is the MP3's own noise). The length error is in frames against the exact length.
std::vector<short> decode_with_mpg123(const std::vector<unsigned char> &mp3, long force_rate,
                                      long *rate) {
    mpg123_handle *mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0);
    if (force_rate)
        mpg123_param(mh, MPG123_FORCE_RATE, force_rate, 0);
    mpg123_format_none(mh);
    const long *rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (force_rate)
        mpg123_format(mh, force_rate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(mh);
    mpg123_feed(mh, mp3.data(), mp3.size());
    std::vector<short> out;
    std::vector<short> buffer(8192);
    for (;;) {
        std::size_t got = 0;
        const int result = mpg123_read(mh, buffer.data(), buffer.size() * 2, &got);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(got / 2));
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            break;
    }
    int channels = 0;
    int encoding = 0;
    mpg123_getformat(mh, rate, &channels, &encoding);
    mpg123_delete(mh);
    return out;
}

std::vector<short> resample_with_sdl(const std::vector<short> &in, long rate) {
    SDL_AudioStream *stream =
        SDL_NewAudioStream(AUDIO_S16SYS, 2, static_cast<int>(rate), AUDIO_S16SYS, 2, 44100);
    std::vector<short> out;
    std::vector<short> buffer(4096);
    auto drain = [&] {
        int got;
        while ((got = SDL_AudioStreamGet(stream, buffer.data(),
                                         static_cast<int>(buffer.size() * 2))) > 0)
            out.insert(out.end(), buffer.begin(), buffer.begin() + got / 2);
    };
    for (std::size_t at = 0; at < in.size(); at += 2304) { // one MPEG frame at a time
        const std::size_t n = std::min<std::size_t>(2304, in.size() - at);
        SDL_AudioStreamPut(stream, in.data() + at, static_cast<int>(n * 2));
        drain();
    }
    SDL_AudioStreamFlush(stream);
    drain();
    SDL_FreeAudioStream(stream);
    return out;
}

double snr_db(const std::vector<short> &stereo, double rate, double frequency) {
    const std::size_t frames = stereo.size() / 2;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (std::size_t i = frames / 10; i < frames - frames / 10; ++i) {
        const double w = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const double s = std::sin(w), c = std::cos(w), y = stereo[2 * i];
        ss += s * s, cc += c * c, sc += s * c, ys += y * s, yc += y * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double signal = 0, noise = 0;
    for (std::size_t i = frames / 10; i < frames - frames / 10; ++i) {
        const double w = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const double fit = a * std::sin(w) + b * std::cos(w);
        signal += fit * fit;
        noise += (stereo[2 * i] - fit) * (stereo[2 * i] - fit);
    }
    return 10 * std::log10(signal / noise);
}

// From the rising zero crossings of the left channel, interpolated between samples.
double measured_frequency(const std::vector<short> &stereo, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < stereo.size() / 2; ++i) {
        const double a = stereo[2 * (i - 1)], b = stereo[2 * i];
        if (a < 0 && b >= 0) {
            last = static_cast<double>(i - 1) + a / (a - b);
            first = first < 0 ? last : first;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * rate / (last - first);
}

enum method { file_rate, mpg123_force_rate, sdl_audio_stream, this_library };

void BM_ResamplingQuality(benchmark::State &state) {
    const auto how = static_cast<method>(state.range(0));
    const tone_spec tone{static_cast<int>(state.range(1)), 2, static_cast<double>(state.range(2)),
                         2.0, state.range(1) < 32000 ? 160 : 320};
    const std::vector<unsigned char> &mp3 = tone_file(tone);
    std::vector<short> out;
    long rate = 44100;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
        if (how == file_rate) {
            out = decode_with_mpg123(mp3, 0, &rate);
        } else if (how == mpg123_force_rate) {
            out = decode_with_mpg123(mp3, 44100, &rate);
        } else if (how == sdl_audio_stream) {
            const std::vector<short> decoded = decode_with_mpg123(mp3, 0, &rate);
            out = resample_with_sdl(decoded, rate);
            rate = 44100;
        } else {
            auto stream = mp3_stream::open_memory(mp3.data(), mp3.size());
            out.resize(2 * 44100 * 3);
            out.resize(stream->read(reinterpret_cast<unsigned char *>(out.data()), out.size() * 2) /
                       2);
        }
    }
    state.counters["snr_dB"] = snr_db(out, static_cast<double>(rate), tone.frequency);
    state.counters["pitch_error_ppm"] =
        (measured_frequency(out, static_cast<double>(rate)) / tone.frequency - 1) * 1e6;
    state.counters["length_error_frames"] =
        static_cast<double>(out.size() / 2) - tone.seconds * static_cast<double>(rate);
}
BENCHMARK(BM_ResamplingQuality)
    ->ArgNames({"method", "rate", "Hz"})
    ->ArgsProduct({{file_rate, mpg123_force_rate, sdl_audio_stream, this_library},
                   {48000},
                   {1000, 12000}})
    ->ArgsProduct({{file_rate, mpg123_force_rate, sdl_audio_stream, this_library},
                   {32000},
                   {1000, 9000}})
    ->ArgsProduct({{file_rate, mpg123_force_rate, sdl_audio_stream, this_library},
                   {22050},
                   {1000, 6000}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
