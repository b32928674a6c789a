// The audio library of platform/bass.h on top of a host's output device (platform/host/audio.h).
#include "platform/bass.h"

#include "platform/audio/clock.h"
#include "platform/audio/reset.h"
#include "platform/audio/mp3_stream.h"
#include "platform/audio/pcm.h"
#include "platform/host/audio.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct stream {
    std::unique_ptr<mp3_stream> decoder;
    stream_position clock;
    bool playing = false;
    bool started = false;
};

// The device's callback and the caller's thread share this. The stream table and the
// decoders change only under the device lock; the clocks under clock_mutex, which is held
// only for a few arithmetic steps, so a position query never waits for a decoder.
struct library {
    std::vector<std::unique_ptr<stream>> streams; // handle = index + 1
    std::mutex clock_mutex;
    play_clock callbacks{1}; // the device's fill callbacks, since it opened
    std::uint64_t device_handed = 0;
    bool device_open = false;
    bool exit_hook = false;
};

// Never destroyed: the device thread may still call back while the process exits.
library &lib() {
    static auto *state = new library;
    return *state;
}

stream *find(std::uint32_t handle) {
    return pcm_stream_of(lib().streams, handle);
}

// The device asks for more: every playing stream hands over what it has, silence after its end.
void fill(void *, unsigned char *out, std::size_t bytes) {
    library &l = lib();
    const std::uint64_t now = host_audio.clock();
    std::memset(out, 0, bytes);
    std::uint64_t offset;
    {
        std::lock_guard<std::mutex> hold(l.clock_mutex);
        offset = l.device_handed;
    }
    bool first = true;
    for (auto &s : l.streams) {
        if (!s->playing)
            continue;
        std::size_t handed = 0;
        if (first) {
            handed = s->decoder->read(out, bytes);
            first = false;
        } else {
            unsigned char chunk[4096];
            while (handed < bytes) {
                const std::size_t want = std::min(sizeof chunk, bytes - handed);
                const std::size_t got = s->decoder->read(chunk, want);
                pcm_mix_into(out + handed, chunk, got);
                handed += got;
                if (got < want)
                    break;
            }
        }
        std::lock_guard<std::mutex> hold(l.clock_mutex);
        s->clock.handed(offset, handed);
    }
    std::lock_guard<std::mutex> hold(l.clock_mutex);
    l.callbacks.handed(now, bytes);
    l.device_handed += bytes;
}

void close_device() {
    library &l = lib();
    if (l.device_open) {
        host_audio.close();
        l.device_open = false;
    }
}

} // namespace

int BASS_Init(int device, std::uint32_t, std::uint32_t, void *, const void *) {
    library &l = lib();
    if (device != 1)
        return 0;
    if (l.device_open)
        return 1;
    {
        // The output counts its bytes from when it opens.
        std::lock_guard<std::mutex> hold(l.clock_mutex);
        l.callbacks = play_clock(host_audio.clock_frequency());
        l.device_handed = 0;
    }
    if (!host_audio.open(fill, nullptr))
        return 0;
    l.device_open = true;
    // Stop the device's thread before the process takes the rest down.
    if (!l.exit_hook)
        l.exit_hook = std::atexit(close_device) == 0;
    return 1;
}

HSTREAM BASS_StreamCreateFile(int mem, const void *file, QWORD offset, QWORD length,
                              std::uint32_t) {
    std::unique_ptr<mp3_stream> decoder;
    if (mem) {
        if (file && length > 0)
            decoder =
                mp3_stream::open_memory(static_cast<const unsigned char *>(file) + offset, length);
    } else {
        decoder = mp3_stream::open_file(static_cast<const char *>(file), offset, length);
    }
    if (!decoder)
        return 0;
    auto s = std::make_unique<stream>(stream{std::move(decoder), stream_position()});
    library &l = lib();
    host_audio.lock();
    {
        std::lock_guard<std::mutex> hold(l.clock_mutex);
        l.streams.push_back(std::move(s));
    }
    const auto handle = static_cast<HSTREAM>(l.streams.size());
    host_audio.unlock();
    return handle;
}

int BASS_Start() {
    if (!lib().device_open)
        return 0;
    host_audio.start();
    return 1;
}

int BASS_StreamPlay(HSTREAM handle, int flush, std::uint32_t) {
    library &l = lib();
    stream *s = find(handle);
    if (!s || !l.device_open)
        return 0;
    host_audio.lock();
    int ok = 1;
    if (flush || !s->started) {
        ok = s->decoder->restart();
        std::lock_guard<std::mutex> hold(l.clock_mutex);
        s->clock.restart();
    }
    s->playing = ok != 0;
    s->started = true;
    host_audio.unlock();
    return ok;
}

// What is heard now: the device's heard count, as far as it has got into the stream.
QWORD BASS_ChannelGetPosition(std::uint32_t handle) {
    library &l = lib();
    const host_audio_timing timing = l.device_open ? host_audio.timing() : host_audio_timing{};
    const std::uint64_t now = host_audio.clock();
    std::lock_guard<std::mutex> hold(l.clock_mutex);
    stream *s = find(handle);
    if (!s)
        return static_cast<QWORD>(-1);
    return s->clock.position(heard_bytes(timing, l.callbacks, now));
}

void bass_free_all() {
    library &l = lib();
    close_device();
    std::lock_guard<std::mutex> hold(l.clock_mutex);
    l.streams.clear();
}
