// The audio library of platform/bass.h on Windows, with the system alone: MP3 through the
// Audio Compression Manager, output through winmm's waveOut. One thread keeps the device's
// buffers filled; positions come from the device's own count of what it has played.
#include "platform/bass.h"

#include "platform/audio/waveout/acm_mp3.h"
#include "platform/audio/waveout/device_clock.h"
#include "platform/audio/pcm.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int buffer_count = 6;
constexpr DWORD buffer_bytes = 8820; // 50 ms each

struct stream {
    std::unique_ptr<acm_mp3> decoder;
    bool playing = false;
    bool started = false;
    // Where its first byte lies in the device's output, and how much of it went there.
    std::uint64_t start_at = 0;
    std::uint64_t handed = 0;
    bool placed = false; // start_at is known
    std::uint64_t reported = 0;
};

struct buffer {
    WAVEHDR header{};
    std::array<unsigned char, buffer_bytes> bytes{};
    bool queued = false;
};

// Two locks: `feed` guards the stream table and the decoders (held while the thread
// decodes); `clock` guards the positions, held only for a few steps, so that a position
// query never waits for a decoder. Whoever needs both takes `feed` first.
struct library {
    CRITICAL_SECTION feed;
    CRITICAL_SECTION clock;
    HWAVEOUT device = nullptr;
    HANDLE wake = nullptr;
    HANDLE thread = nullptr;
    bool quit = false;
    bool running = false;
    std::array<buffer, buffer_count> buffers;
    std::vector<std::unique_ptr<stream>> streams; // handle = index + 1
    std::uint64_t given = 0;                      // bytes handed to the device
    std::uint64_t played = 0;                     // the device's count, past 32 bits
    DWORD last_samples = 0;
    std::unique_ptr<device_clock> smooth;
    LARGE_INTEGER frequency{};
    bool exit_hook = false;

    library() {
        InitializeCriticalSection(&feed);
        InitializeCriticalSection(&clock);
        QueryPerformanceFrequency(&frequency);
    }
};

// Never destroyed: the feeding thread may still run while the process exits.
library &lib() {
    static auto *state = new library;
    return *state;
}

stream *find(std::uint32_t handle) {
    return pcm_stream_of(lib().streams, handle);
}

std::uint64_t now_ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<std::uint64_t>(t.QuadPart);
}

// Fills one buffer from every playing stream (under `feed`). Returns the bytes to play:
// up to the end of the longest contribution, 0 when no stream plays.
DWORD fill(buffer &b) {
    library &l = lib();
    std::memset(b.bytes.data(), 0, b.bytes.size());
    std::size_t length = 0;
    bool first = true;
    for (const auto &s : l.streams) {
        if (!s->playing)
            continue;
        std::size_t got = 0;
        if (first) {
            got = s->decoder->read(b.bytes.data(), b.bytes.size());
            first = false;
        } else {
            std::array<unsigned char, buffer_bytes> chunk;
            got = s->decoder->read(chunk.data(), chunk.size());
            pcm_mix_into(b.bytes.data(), chunk.data(), got);
        }
        length = std::max(length, got);
        EnterCriticalSection(&l.clock);
        if (!s->placed) {
            s->start_at = l.given;
            s->placed = true;
        }
        s->handed += got;
        if (got < b.bytes.size())
            s->playing = false; // ended: its position settles at its length
        LeaveCriticalSection(&l.clock);
    }
    return static_cast<DWORD>(length);
}

DWORD WINAPI feed_device(void *) {
    library &l = lib();
    for (;;) {
        WaitForSingleObject(l.wake, INFINITE);
        EnterCriticalSection(&l.feed);
        if (l.quit) {
            LeaveCriticalSection(&l.feed);
            return 0;
        }
        for (auto &b : l.buffers) {
            if (b.queued && (b.header.dwFlags & WHDR_DONE))
                b.queued = false;
            if (b.queued)
                continue;
            const DWORD length = fill(b);
            if (length == 0)
                break;
            b.header.dwBufferLength = length;
            b.header.dwFlags &= WHDR_PREPARED;
            if (waveOutWrite(l.device, &b.header, sizeof b.header) != MMSYSERR_NOERROR)
                break;
            b.queued = true;
            EnterCriticalSection(&l.clock);
            l.given += length;
            LeaveCriticalSection(&l.clock);
        }
        LeaveCriticalSection(&l.feed);
    }
}

// The device's count of bytes played, read under `clock`.
std::uint64_t device_played() {
    library &l = lib();
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(l.device, &time, sizeof time) == MMSYSERR_NOERROR &&
        time.wType == TIME_SAMPLES) {
        // The count is 32 bits of sample frames; keep adding its steps past a wrap.
        l.played += static_cast<std::uint64_t>(static_cast<DWORD>(time.u.sample - l.last_samples)) *
                    device_clock::frame_bytes;
        l.last_samples = time.u.sample;
    }
    return l.played;
}

void close_device() {
    library &l = lib();
    if (!l.device)
        return;
    EnterCriticalSection(&l.feed);
    l.quit = true;
    LeaveCriticalSection(&l.feed);
    SetEvent(l.wake);
    WaitForSingleObject(l.thread, INFINITE);
    waveOutReset(l.device);
    for (auto &b : l.buffers)
        waveOutUnprepareHeader(l.device, &b.header, sizeof b.header);
    waveOutClose(l.device);
    CloseHandle(l.thread);
    CloseHandle(l.wake);
    l.device = nullptr;
    l.thread = nullptr;
    l.wake = nullptr;
}

} // namespace

int BASS_Init(int device, std::uint32_t, std::uint32_t, void *, const void *) {
    library &l = lib();
    if (device != 1)
        return 0;
    if (l.device)
        return 1;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = static_cast<DWORD>(pcm_bytes_per_second);
    l.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!l.wake)
        return 0;
    HWAVEOUT out = nullptr;
    if (waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(l.wake), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        CloseHandle(l.wake);
        l.wake = nullptr;
        return 0;
    }
    // Held until BASS_Start, so that buffers written before it wait.
    waveOutPause(out);
    for (auto &b : l.buffers) {
        b.header = WAVEHDR{};
        b.header.lpData = reinterpret_cast<LPSTR>(b.bytes.data());
        b.header.dwBufferLength = buffer_bytes;
        waveOutPrepareHeader(out, &b.header, sizeof b.header);
        b.queued = false;
    }
    l.device = out;
    l.quit = false;
    l.running = false;
    l.given = 0;
    l.played = 0;
    l.last_samples = 0;
    l.smooth = std::make_unique<device_clock>(static_cast<std::uint64_t>(l.frequency.QuadPart));
    // Position 0 from now: a leap of the device's count before the first query is then
    // caught up smoothly too.
    l.smooth->position(now_ticks(), 0, 0, false);
    l.thread = CreateThread(nullptr, 0, feed_device, nullptr, 0, nullptr);
    if (!l.thread) {
        waveOutClose(out);
        l.device = nullptr;
        CloseHandle(l.wake);
        l.wake = nullptr;
        return 0;
    }
    // Stop the thread and let the device finish cleanly before the process ends.
    if (!l.exit_hook)
        l.exit_hook = std::atexit(close_device) == 0;
    return 1;
}

HSTREAM BASS_StreamCreateFile(int mem, const void *file, QWORD offset, QWORD length,
                              std::uint32_t) {
    std::unique_ptr<acm_mp3> decoder;
    if (mem) {
        if (file && length > 0)
            decoder =
                acm_mp3::open_memory(static_cast<const unsigned char *>(file) + offset, length);
    } else {
        decoder = acm_mp3::open_file(static_cast<const char *>(file), offset, length);
    }
    if (!decoder)
        return 0;
    auto s = std::make_unique<stream>();
    s->decoder = std::move(decoder);
    library &l = lib();
    EnterCriticalSection(&l.feed);
    EnterCriticalSection(&l.clock);
    l.streams.push_back(std::move(s));
    const auto handle = static_cast<HSTREAM>(l.streams.size());
    LeaveCriticalSection(&l.clock);
    LeaveCriticalSection(&l.feed);
    return handle;
}

int BASS_Start() {
    library &l = lib();
    if (!l.device)
        return 0;
    EnterCriticalSection(&l.clock);
    waveOutRestart(l.device);
    l.running = true;
    LeaveCriticalSection(&l.clock);
    return 1;
}

int BASS_StreamPlay(HSTREAM handle, int flush, std::uint32_t) {
    library &l = lib();
    EnterCriticalSection(&l.feed);
    stream *s = find(handle);
    int ok = 0;
    if (s && l.device) {
        ok = 1;
        if (flush || !s->started) {
            ok = s->decoder->restart();
            EnterCriticalSection(&l.clock);
            s->placed = false;
            s->handed = 0;
            s->reported = 0;
            LeaveCriticalSection(&l.clock);
        }
        s->playing = ok != 0;
        s->started = true;
    }
    LeaveCriticalSection(&l.feed);
    if (ok)
        SetEvent(l.wake);
    return ok;
}

QWORD BASS_ChannelGetPosition(std::uint32_t handle) {
    library &l = lib();
    EnterCriticalSection(&l.clock);
    stream *s = find(handle);
    QWORD position = static_cast<QWORD>(-1);
    if (s) {
        position = s->reported;
        if (l.device) {
            // Read on every query, so that the catching up is measured between queries.
            const std::uint64_t played = device_played();
            const std::uint64_t device =
                l.smooth->position(now_ticks(), played, l.given, l.running);
            if (s->placed) {
                const std::uint64_t own = device > s->start_at ? device - s->start_at : 0;
                position = std::max(s->reported, std::min(own, s->handed));
            }
        }
        s->reported = position;
    }
    LeaveCriticalSection(&l.clock);
    return position;
}
