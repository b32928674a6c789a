// The heard-against-reported measurement (see heard_clicks.h). The monitor is recorded in
// chunks of 10 ms on a record stream of its own, each stamped with the monotonic clock as it
// arrives. A sample's moment of playing is then its chunk's stamp less the record stream's
// latency as libpulse gives it, with its sign: a sink's monitor hands its samples over
// before the sink plays them, so that latency is often negative, which libpulse's simple
// API would round to 0.
#include "tests/support/heard_clicks.h"

#include "platform/audio/reset.h"
#include "platform/bass.h"
#include "tests/support/tone_mp3.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr std::size_t chunk_frames = 441; // 10 ms

double now_ns() {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

struct chunk {
    double played_ns; // when its last sample was played
    std::vector<short> samples;
};

struct recording {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::vector<chunk> chunks;          // under the mainloop lock
    std::uint64_t frames = 0;           // read so far
    double largest_disagreement_ns = 0; // the latency against the stream's time
    std::atomic<int> read{0};
};

// In the mainloop: whatever the monitor has handed over, stamped.
void on_read(pa_stream *s, std::size_t, void *user) {
    auto *r = static_cast<recording *>(user);
    const void *data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
        const double stamp = now_ns();
        chunk c;
        c.samples.resize(bytes / 2);
        if (data)
            std::memcpy(c.samples.data(), data, bytes / 2 * 2);
        pa_stream_drop(s);
        r->frames += bytes / 4;
        pa_usec_t latency = 0;
        int negative = 0;
        pa_usec_t time = 0;
        if (pa_stream_get_latency(s, &latency, &negative) != 0 ||
            pa_stream_get_time(s, &time) != 0) {
            c.played_ns = -1; // before the first timing information
        } else {
            const double signed_latency =
                (negative ? -1.0 : 1.0) * static_cast<double>(latency) * 1000;
            c.played_ns = stamp - signed_latency;
            // The same from the stream's time: the last sample read is frame `frames`.
            const double by_time = stamp - (static_cast<double>(time) * 1000 -
                                            static_cast<double>(r->frames) * 1e9 / 44100);
            r->largest_disagreement_ns =
                std::max(r->largest_disagreement_ns, std::abs(by_time - c.played_ns));
        }
        r->chunks.push_back(std::move(c));
        ++r->read;
    }
}

void on_state(void *user) {
    pa_threaded_mainloop_signal(static_cast<recording *>(user)->loop, 0);
}

void on_context_state(pa_context *, void *user) {
    on_state(user);
}

void on_stream_state(pa_stream *, void *user) {
    on_state(user);
}

void stop_recording(recording *r) {
    if (!r->loop)
        return;
    pa_threaded_mainloop_lock(r->loop);
    if (r->stream) {
        pa_stream_disconnect(r->stream);
        pa_stream_unref(r->stream);
    }
    if (r->context) {
        pa_context_disconnect(r->context);
        pa_context_unref(r->context);
    }
    pa_threaded_mainloop_unlock(r->loop);
    pa_threaded_mainloop_stop(r->loop);
    pa_threaded_mainloop_free(r->loop);
    r->loop = nullptr;
}

// Starts recording `monitor`; an error message, or empty.
std::string start_recording(recording *r, const char *monitor) {
    r->loop = pa_threaded_mainloop_new();
    r->context = pa_context_new(pa_threaded_mainloop_get_api(r->loop), "ulvo-test-monitor");
    pa_context_set_state_callback(r->context, on_context_state, r);
    if (pa_context_connect(r->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return "no sound server answers";
    pa_threaded_mainloop_lock(r->loop);
    pa_threaded_mainloop_start(r->loop);
    std::string error;
    while (pa_context_get_state(r->context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(r->context))) {
            error = "the sound server refused the connection";
            break;
        }
        pa_threaded_mainloop_wait(r->loop);
    }
    if (error.empty()) {
        const pa_sample_spec spec = {PA_SAMPLE_S16NE, 44100, 2};
        r->stream = pa_stream_new(r->context, "monitor", &spec, nullptr);
        pa_stream_set_state_callback(r->stream, on_stream_state, r);
        pa_stream_set_read_callback(r->stream, on_read, r);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = chunk_frames * 4;
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(r->stream, monitor, &attr, flags) < 0)
            error = std::string("cannot record ") + monitor;
        while (error.empty() && pa_stream_get_state(r->stream) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(r->stream)))
                error = std::string("cannot record ") + monitor;
            else
                pa_threaded_mainloop_wait(r->loop);
        }
    }
    pa_threaded_mainloop_unlock(r->loop);
    return error;
}

// The moments the clicks were played. The monitor's samples come at the sink's exact rate,
// so frame n was played at t0 + n / 44100, and each chunk's stamp gives an estimate of t0.
// libpulse's estimate of a record stream's latency glides for a second or two after the
// sink's latency changes (as when the show's stream joins it), so t0 is taken from the
// last second of the recording, as the median of its estimates there.
std::vector<double> played_clicks(const std::vector<chunk> &chunks) {
    std::vector<std::pair<double, double>> origins; // (frame, t0) per stamped chunk
    std::vector<double> click_frames;
    double frames = 0;
    double last_click = -1e18;
    for (const chunk &c : chunks) {
        const std::size_t count = c.samples.size() / 2;
        for (std::size_t f = 0; f < count; ++f) {
            if (find_click(c.samples.data() + f * 2, 1) != 0)
                continue;
            const double at = frames + static_cast<double>(f);
            if (at - last_click > 0.25 * 44100)
                click_frames.push_back(at);
            last_click = at;
        }
        frames += static_cast<double>(count);
        if (c.played_ns >= 0)
            origins.emplace_back(frames, c.played_ns - (frames - 1) * 1e9 / 44100);
    }
    std::vector<double> tail;
    for (const auto &[frame, origin] : origins)
        if (frame > frames - 44100)
            tail.push_back(origin);
    std::vector<double> played;
    if (tail.empty())
        return played;
    std::nth_element(tail.begin(), tail.begin() + static_cast<long>(tail.size() / 2), tail.end());
    const double t0 = tail[tail.size() / 2];
    for (double click : click_frames)
        played.push_back(t0 + click * 1e9 / 44100);
    return played;
}

} // namespace

heard_clicks measure_heard_clicks(const std::string &mp3, const std::vector<long> &click_frames,
                                  const char *monitor, const char *latency_msec) {
    heard_clicks result;
    recording r;
    // The recording's stream is connected before PULSE_LATENCY_MSEC is set: it is for the
    // show's stream only.
    unsetenv("PULSE_LATENCY_MSEC");
    result.error = start_recording(&r, monitor);
    if (!result.error.empty()) {
        stop_recording(&r);
        return result;
    }
    while (r.read < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    if (latency_msec)
        setenv("PULSE_LATENCY_MSEC", latency_msec, 1);
    std::vector<std::pair<double, QWORD>> positions;
    HSTREAM stream = 0;
    if (BASS_Init(1, 44100, 256, nullptr, nullptr) &&
        (stream = BASS_StreamCreateFile(0, mp3.c_str(), 0, 0, 0)) != 0 && BASS_Start() &&
        BASS_StreamPlay(stream, 1, 0)) {
        const QWORD last = static_cast<QWORD>(click_frames.back()) * 4 + 176400 / 10;
        const double give_up = now_ns() + 10e9 + static_cast<double>(last) / 176400 * 1e9;
        QWORD position = 0;
        while (position < last && now_ns() < give_up) {
            const double before = now_ns();
            position = BASS_ChannelGetPosition(stream);
            positions.emplace_back((before + now_ns()) / 2, position);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    } else {
        result.error = "the audio library did not play";
    }
    unsetenv("PULSE_LATENCY_MSEC");
    // The recording goes on for its own latency and the second that t0 is taken from.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    pa_threaded_mainloop_lock(r.loop);
    const std::vector<chunk> chunks = std::move(r.chunks);
    result.method_disagreement_ms = r.largest_disagreement_ns / 1e6;
    pa_threaded_mainloop_unlock(r.loop);
    stop_recording(&r);
    bass_free_all();
    if (!result.error.empty())
        return result;

    const std::vector<double> played = played_clicks(chunks);
    if (played.size() != click_frames.size()) {
        result.error = "found " + std::to_string(played.size()) + " clicks in the recording, " +
                       "expected " + std::to_string(click_frames.size());
        return result;
    }
    for (std::size_t k = 0; k < click_frames.size(); ++k) {
        // When the position passed the click's first byte, between the two samples around it.
        const auto target = static_cast<QWORD>(click_frames[k]) * 4;
        std::size_t i = 1;
        while (i < positions.size() && positions[i].second < target)
            ++i;
        if (i >= positions.size() || positions[i - 1].second >= target) {
            result.error = "the position never passed click " + std::to_string(k);
            return result;
        }
        const auto &[t0, p0] = positions[i - 1];
        const auto &[t1, p1] = positions[i];
        const double reported =
            t0 + (t1 - t0) * static_cast<double>(target - p0) / static_cast<double>(p1 - p0);
        result.offsets_ms.push_back((played[k] - reported) / 1e6);
    }
    return result;
}
