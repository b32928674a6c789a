// The virtual audio device: it plays only when told to, on the caller's thread.
#include "platform/host/headless/audio_control.h"

#include "platform/audio/pcm.h"
#include "platform/host/audio.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex device_mutex; // held around the callback, as a real device's lock is
bool available = true;
bool is_open = false;
bool running = false;
host_audio_fill fill_callback = nullptr;
void *fill_user = nullptr;
std::atomic<std::uint64_t> clock_bytes{0}; // read inside the callback, so not under the lock
headless_audio_sink sink = nullptr;
void *sink_user = nullptr;
std::vector<unsigned char> buffer;
std::atomic<std::uint64_t> latency_bytes{0}; // read by position queries, not under the lock

int headless_open(host_audio_fill fill, void *user) {
    std::lock_guard<std::mutex> hold(device_mutex);
    if (!available)
        return 0;
    fill_callback = fill;
    fill_user = user;
    is_open = true;
    running = false;
    return 1;
}

void headless_close() {
    std::lock_guard<std::mutex> hold(device_mutex);
    is_open = false;
    running = false;
    fill_callback = nullptr;
}

void headless_start() {
    std::lock_guard<std::mutex> hold(device_mutex);
    running = is_open;
}

void headless_pause() {
    std::lock_guard<std::mutex> hold(device_mutex);
    running = false;
}

void headless_lock() {
    device_mutex.lock();
}

void headless_unlock() {
    device_mutex.unlock();
}

std::uint64_t headless_clock() {
    return headless_audio_clock_bytes();
}

std::uint64_t headless_clock_frequency() {
    return pcm_bytes_per_second;
}

// A virtual device hears what it pulls as its clock passes over it, after the latency the
// test set.
host_audio_timing headless_timing() {
    return {.latency = latency_bytes};
}

} // namespace

const host_audio_api host_audio = {
    .open = headless_open,
    .close = headless_close,
    .start = headless_start,
    .pause = headless_pause,
    .lock = headless_lock,
    .unlock = headless_unlock,
    .clock = headless_clock,
    .clock_frequency = headless_clock_frequency,
    .timing = headless_timing,
};

void headless_audio_set_latency(std::uint64_t bytes) {
    latency_bytes = bytes;
}

void headless_audio_set_available(bool yes) {
    std::lock_guard<std::mutex> hold(device_mutex);
    available = yes;
}

bool headless_audio_is_open() {
    std::lock_guard<std::mutex> hold(device_mutex);
    return is_open;
}

bool headless_audio_is_running() {
    std::lock_guard<std::mutex> hold(device_mutex);
    return running;
}

void headless_audio_pull(std::size_t bytes) {
    headless_audio_sink to = nullptr;
    void *to_user = nullptr;
    {
        std::lock_guard<std::mutex> hold(device_mutex);
        // A pull of nothing hands the stream and the sink nothing.
        if (!is_open || bytes == 0)
            return;
        buffer.resize(bytes);
        if (running && fill_callback)
            fill_callback(fill_user, buffer.data(), bytes);
        else
            std::memset(buffer.data(), 0, bytes);
        to = sink;
        to_user = sink_user;
    }
    if (to)
        to(to_user, buffer.data(), bytes);
}

void headless_audio_wait(std::uint64_t bytes) {
    clock_bytes += bytes;
}

void headless_audio_advance(std::size_t bytes) {
    headless_audio_pull(bytes);
    headless_audio_wait(bytes);
}

std::uint64_t headless_audio_clock_bytes() {
    return clock_bytes;
}

void headless_audio_set_sink(headless_audio_sink to, void *user) {
    std::lock_guard<std::mutex> hold(device_mutex);
    sink = to;
    sink_user = user;
}
