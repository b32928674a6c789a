// Checks the Windows audio library on a real waveOut device (run under Wine by
// tests/wine/check.sh). Prints what it measured and exits 0 when every check holds.
//   bass_check errors             handles and files that are not streams
//   bass_check rate FILE SECONDS  the position while FILE plays
//   bass_check end FILE SECONDS   FILE holds SECONDS of audio: the position after its end
#include "platform/bass.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double bytes_per_second = 176400;
constexpr QWORD bad = static_cast<QWORD>(-1);
int failures = 0;

void expect(bool ok, const char *what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        ++failures;
}

double seconds_now() {
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct sample {
    double time;
    QWORD position;
};

std::vector<sample> record(HSTREAM stream, double seconds) {
    std::vector<sample> samples;
    const double began = seconds_now();
    while (seconds_now() - began < seconds) {
        samples.push_back({seconds_now(), BASS_ChannelGetPosition(stream)});
        Sleep(5);
    }
    return samples;
}

HSTREAM start(const char *file) {
    expect(BASS_Init(1, 44100, 256, nullptr, nullptr) == 1, "BASS_Init opens the default output");
    const HSTREAM stream = BASS_StreamCreateFile(0, file, 0, 0, 0);
    expect(stream != 0, "the file opens as a stream");
    expect(BASS_ChannelGetPosition(stream) == 0, "the position is 0 before playing");
    BASS_Start();
    expect(BASS_StreamPlay(stream, 1, 0) == 1, "the stream plays");
    return stream;
}

// Never decreasing, whole sample frames, and no step larger than catching up at twice the
// rate over the time it covers (plus 10 ms) would explain.
void check_steps(const std::vector<sample> &samples) {
    bool monotonic = true;
    bool aligned = true;
    bool smooth = true;
    double largest = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const sample &a = samples[i - 1];
        const sample &b = samples[i];
        if (b.position < a.position) {
            monotonic = false;
            continue;
        }
        if (b.position % 4)
            aligned = false;
        const double step = static_cast<double>(b.position - a.position);
        largest = std::max(largest, step / bytes_per_second);
        if (step > (2 * (b.time - a.time) + 0.01) * bytes_per_second) {
            std::printf("a step of %.1f ms of audio in %.1f ms\n", step / bytes_per_second * 1000,
                        (b.time - a.time) * 1000);
            smooth = false;
        }
    }
    std::printf("largest step: %.1f ms of audio over %zu reads\n", largest * 1000, samples.size());
    expect(monotonic, "the position never decreases");
    expect(aligned, "the position is in whole sample frames");
    expect(smooth, "the position advances smoothly");
}

int check_rate(const char *file, double seconds) {
    const HSTREAM stream = start(file);
    const std::vector<sample> samples = record(stream, seconds);
    check_steps(samples);
    std::size_t first = 0;
    while (first < samples.size() && samples[first].position == 0)
        ++first;
    expect(first < samples.size(), "the position moves");
    if (first < samples.size()) {
        std::printf("first movement after %.0f ms\n",
                    (samples[first].time - samples[0].time) * 1000);
        // The rate from one second on, past the device's start-up.
        std::size_t from = first;
        while (from + 1 < samples.size() && samples[from].time < samples[0].time + 1)
            ++from;
        const sample &a = samples[from];
        const sample &b = samples.back();
        const double rate = static_cast<double>(b.position - a.position) / (b.time - a.time);
        std::printf("rate: %.0f bytes/s over %.2f s\n", rate, b.time - a.time);
        // Never faster than real time; slower only by what a loaded machine's underruns
        // hold it back (the position counts what was played).
        expect(rate > bytes_per_second * 0.9 && rate < bytes_per_second * 1.03,
               "the position grows by 176400 bytes per second");
        const double lag =
            (b.time - samples[0].time) * bytes_per_second - static_cast<double>(b.position);
        std::printf("position behind the time since playing began: %.0f ms\n",
                    lag / bytes_per_second * 1000);
    }
    expect(BASS_ChannelGetPosition(stream + 1) == bad, "a handle past the last stream gives -1");
    return failures ? 1 : 0;
}

// FILE holds `length` seconds of audio; it is played for one second more.
int check_end(const char *file, double length) {
    const HSTREAM stream = start(file);
    const std::vector<sample> samples = record(stream, length + 1);
    check_steps(samples);
    const QWORD last = samples.back().position;
    // The last half second: the stream has ended and the position stays at its length.
    bool settled = true;
    for (const sample &s : samples)
        if (s.time > samples.back().time - 0.5 && s.position != last)
            settled = false;
    const double played = static_cast<double>(last) / bytes_per_second;
    std::printf("final position: %llu bytes (%.3f s)\n", static_cast<unsigned long long>(last),
                played);
    expect(settled, "after the end the position stays where it is");
    // The encoder adds up to two frames of its own before and after the audio.
    expect(played > length - 0.01 && played < length + 0.1, "the whole stream was played");
    expect(BASS_StreamPlay(stream, 1, 0) == 1, "the stream plays again");
    expect(BASS_ChannelGetPosition(stream) < last, "flushing starts it again from the beginning");
    return failures ? 1 : 0;
}

int check_errors(const char *self) {
    expect(BASS_ChannelGetPosition(0) == bad, "handle 0 gives -1");
    expect(BASS_ChannelGetPosition(12345) == bad, "an unknown handle gives -1");
    expect(BASS_Start() == 0, "BASS_Start fails before BASS_Init");
    expect(BASS_Init(2, 44100, 256, nullptr, nullptr) == 0, "only device 1 opens");
    expect(BASS_Init(1, 44100, 256, nullptr, nullptr) == 1, "BASS_Init opens the default output");
    expect(BASS_StreamCreateFile(0, "no such file.mp3", 0, 0, 0) == 0,
           "a missing file is no stream");
    expect(BASS_StreamCreateFile(0, self, 0, 0, 0) == 0, "a program is no stream");
    const char silence[4096] = {};
    expect(BASS_StreamCreateFile(1, silence, 0, sizeof silence, 0) == 0, "zeros are no stream");
    expect(BASS_StreamPlay(77, 1, 0) == 0, "an unknown handle does not play");
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "errors") == 0) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        return check_errors(self);
    }
    if (argc == 4 && std::strcmp(argv[1], "rate") == 0)
        return check_rate(argv[2], std::atof(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "end") == 0)
        return check_end(argv[2], std::atof(argv[3]));
    std::fputs("usage: bass_check errors | rate FILE SECONDS | end FILE SECONDS\n", stderr);
    return 2;
}
