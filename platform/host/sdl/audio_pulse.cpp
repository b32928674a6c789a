// The sound server's output through libpulse (PulseAudio, and PipeWire's PulseAudio
// service), on a threaded mainloop. The server's timing information (updated by libpulse,
// and asked for every 100 ms and on underflow) says how much of what was written had been
// played at a given moment; the output keeps that as a snapshot, which the position
// queries read without taking the mainloop's lock and run on from at the nominal rate.
#include "platform/host/sdl/audio_outputs.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr pa_sample_spec sample_spec = {PA_SAMPLE_S16NE, 44100, 2};

// The latency asked for: enough that a busy machine (the show's thread decoding pictures,
// other programs) rarely starves the stream; at 50 ms a loaded two-core machine made it run
// dry several times a minute. The position counts it whatever it is, so the pictures lose
// nothing to it. libpulse lets PULSE_LATENCY_MSEC override it, and a sink (Bluetooth) may
// impose more; the position measures what the server reports.
constexpr pa_usec_t wanted_latency_usec = 100000;

pa_threaded_mainloop *loop = nullptr;
pa_context *context = nullptr;
pa_stream *stream = nullptr;
host_audio_fill fill_callback = nullptr;
void *fill_user = nullptr;
bool started = false; // under the mainloop lock

std::mutex snapshot_mutex; // held only to copy the snapshot
host_audio_timing snapshot;

// With the mainloop lock held (in its callbacks, or by us). From the server's latest timing
// information as it came, not libpulse's smoothed time: what the sink had taken of the
// stream, less what it held unplayed, at the moment the information describes.
void take_snapshot(pa_stream *s) {
    host_audio_timing now{.counted = true};
    const pa_timing_info *info = pa_stream_get_timing_info(s);
    if (info && !info->read_index_corrupt && info->read_index > 0) {
        const std::uint64_t held = pa_usec_to_bytes(info->sink_usec, &sample_spec);
        const auto read = static_cast<std::uint64_t>(info->read_index);
        now.played = read > held ? read - held : 0;
        now.running = info->playing != 0 && pa_stream_is_corked(s) == 0;
        const std::uint64_t age_ns = pa_timeval_age(&info->timestamp) * 1000;
        now.counted_at = native_audio_clock() - age_ns;
    } else {
        now.counted_at = native_audio_clock();
    }
    // A count that comes out lower than the last one ran on holds the position (the library
    // never lets it go back) until the sound catches up.
    std::lock_guard<std::mutex> hold(snapshot_mutex);
    snapshot = now;
}

void on_timing(pa_stream *s, void *) {
    take_snapshot(s);
}

void on_timing_updated(pa_stream *s, int, void *) {
    take_snapshot(s);
}

// libpulse's automatic updates come every 1.5 s once a stream runs steadily; between them
// the snapshot runs on by itself, blind to a pause in the sound. Asking again every 100 ms
// (one round trip) keeps it near what the server says.
std::uint64_t last_timing_request = 0;
constexpr std::uint64_t timing_request_interval = native_audio_clock_frequency / 10;

void request_timing(pa_stream *s) {
    last_timing_request = native_audio_clock();
    if (pa_operation *op = pa_stream_update_timing_info(s, on_timing_updated, nullptr))
        pa_operation_unref(op);
}

// The server ran out of sound (the show's thread or this one held up): the sound has
// stopped, so the position must stop with it as soon as the server can say so.
void on_underflow(pa_stream *s, void *) {
    request_timing(s);
}

// Hands the server `bytes` from the fill callback, in the buffers it lends.
void write_out(pa_stream *s, std::size_t bytes) {
    while (bytes > 0) {
        void *data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(s, &data, &size) < 0 || !data)
            return;
        size -= size % pa_frame_size(&sample_spec);
        if (size == 0) {
            pa_stream_cancel_write(s);
            return;
        }
        fill_callback(fill_user, static_cast<unsigned char *>(data), size);
        if (pa_stream_write(s, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= std::min(size, bytes);
    }
}

// The server asks for more. Until start, it waits (the device pulls nothing while paused).
void on_write(pa_stream *s, std::size_t bytes, void *) {
    if (!started)
        return;
    write_out(s, bytes);
    if (native_audio_clock() - last_timing_request >= timing_request_interval)
        request_timing(s);
}

void signal_loop(void *) {
    pa_threaded_mainloop_signal(loop, 0);
}

void on_context_state(pa_context *, void *user) {
    signal_loop(user);
}

void on_stream_state(pa_stream *, void *user) {
    signal_loop(user);
}

// Without the mainloop lock; takes down whatever open got as far as.
void pulse_close() {
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    if (stream) {
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    pa_threaded_mainloop_unlock(loop);
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
    started = false;
}

// With the mainloop lock held: waits until the context is ready (1) or has failed (0).
int wait_for_context() {
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            return 1;
        if (!PA_CONTEXT_IS_GOOD(state))
            return 0;
        pa_threaded_mainloop_wait(loop);
    }
}

int wait_for_stream() {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY)
            return 1;
        if (!PA_STREAM_IS_GOOD(state))
            return 0;
        pa_threaded_mainloop_wait(loop);
    }
}

int connect_stream() {
    stream = pa_stream_new(context, "ulvo", &sample_spec, nullptr);
    if (!stream)
        return 0;
    pa_stream_set_state_callback(stream, on_stream_state, nullptr);
    pa_stream_set_write_callback(stream, on_write, nullptr);
    pa_stream_set_latency_update_callback(stream, on_timing, nullptr);
    pa_stream_set_started_callback(stream, on_timing, nullptr);
    pa_stream_set_underflow_callback(stream, on_underflow, nullptr);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(wanted_latency_usec, &sample_spec));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    // No PA_STREAM_INTERPOLATE_TIMING: libpulse's smoothed time wandered by up to 7 ms on a
    // null sink at the default latency, where the timing information as it comes, run on at
    // the nominal rate, stayed within 2 ms (bench/audio_heard.sh).
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return 0;
    return wait_for_stream();
}

int pulse_open(host_audio_fill fill, void *user) {
    if (loop)
        return 1;
    fill_callback = fill;
    fill_user = user;
    {
        std::lock_guard<std::mutex> hold(snapshot_mutex);
        snapshot = {.counted = true, .counted_at = native_audio_clock()};
    }
    loop = pa_threaded_mainloop_new();
    if (!loop)
        return 0;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "ulvo");
    if (!context) {
        pulse_close();
        return 0;
    }
    pa_context_set_state_callback(context, on_context_state, nullptr);
    // Never start a server: where none runs, SDL's output plays (and as root an autospawned
    // server would be a system-wide one).
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        pulse_close();
        return 0;
    }
    pa_threaded_mainloop_lock(loop);
    int ok = pa_threaded_mainloop_start(loop) == 0 && wait_for_context() && connect_stream();
    pa_threaded_mainloop_unlock(loop);
    if (!ok)
        pulse_close();
    return ok;
}

void pulse_start() {
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    if (!started) {
        started = true;
        // What the server asked for while it waited; then it plays.
        const std::size_t wanted = pa_stream_writable_size(stream);
        if (wanted != static_cast<std::size_t>(-1))
            write_out(stream, wanted);
        if (pa_operation *op = pa_stream_cork(stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
        take_snapshot(stream);
    }
    pa_threaded_mainloop_unlock(loop);
}

void pulse_pause() {
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    if (started) {
        started = false;
        if (pa_operation *op = pa_stream_cork(stream, 1, nullptr, nullptr))
            pa_operation_unref(op);
        take_snapshot(stream);
    }
    pa_threaded_mainloop_unlock(loop);
}

void pulse_lock() {
    if (loop)
        pa_threaded_mainloop_lock(loop);
}

void pulse_unlock() {
    if (loop)
        pa_threaded_mainloop_unlock(loop);
}

std::uint64_t pulse_clock_frequency() {
    return native_audio_clock_frequency;
}

host_audio_timing pulse_timing() {
    std::lock_guard<std::mutex> hold(snapshot_mutex);
    return snapshot;
}

} // namespace

const host_audio_api pulse_audio_output = {
    .open = pulse_open,
    .close = pulse_close,
    .start = pulse_start,
    .pause = pulse_pause,
    .lock = pulse_lock,
    .unlock = pulse_unlock,
    .clock = native_audio_clock,
    .clock_frequency = pulse_clock_frequency,
    .timing = pulse_timing,
};
