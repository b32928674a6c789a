// How far the heard sound is from the position the audio library reports, over 20 s: an
// MP3 with a click at every whole second from 1 s to 20 s plays on the sound server that
// PULSE_SERVER names, and each click's moment of playing (from a recording of the server's
// monitor) is set against the moment the position passed it. Prints the offsets' mean,
// spread (standard deviation), least and greatest. Run by bench/audio_heard.sh.
// Usage: audio_heard_bench MONITOR [PULSE_LATENCY_MSEC]
#include "tests/support/heard_clicks.h"
#include "tests/support/tone_mp3.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: audio_heard_bench MONITOR [PULSE_LATENCY_MSEC]\n");
        return 2;
    }
    std::vector<long> clicks;
    std::vector<short> samples(static_cast<std::size_t>(21 * 44100 * 2));
    for (long second = 1; second <= 20; ++second) {
        clicks.push_back(second * 44100);
        const std::vector<short> one = click_samples(21.0, second * 44100);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<short>(samples[i] + one[i]);
    }
    const std::string path = scratch_path("heard_bench.mp3");
    if (!write_file(path, encode_mp3(samples, 44100, 2))) {
        std::fprintf(stderr, "audio_heard_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    const heard_clicks heard =
        measure_heard_clicks(path, clicks, argv[1], argc > 2 ? argv[2] : nullptr);
    std::remove(path.c_str());
    if (!heard.error.empty()) {
        std::fprintf(stderr, "audio_heard_bench: %s\n", heard.error.c_str());
        return 1;
    }
    const std::vector<double> &d = heard.offsets_ms;
    std::printf("per click (ms):");
    for (double x : d)
        std::printf(" %+.2f", x);
    std::printf("\n");
    const double mean = std::accumulate(d.begin(), d.end(), 0.0) / static_cast<double>(d.size());
    double square = 0;
    for (double x : d)
        square += (x - mean) * (x - mean);
    const double spread = std::sqrt(square / static_cast<double>(d.size()));
    std::printf("recording method: latency against stream time within %.3f ms\n",
                heard.method_disagreement_ms);
    std::printf("clicks %zu  heard minus reported (ms): mean %+.2f  spread %.2f  least %+.2f  "
                "greatest %+.2f\n",
                d.size(), mean, spread, *std::min_element(d.begin(), d.end()),
                *std::max_element(d.begin(), d.end()));
    return 0;
}
