// The audio library of platform/bass.h in a browser: Web Audio decodes the MP3 and plays it,
// and the position is the audio context's time of the sample being heard now. The JavaScript
// half is bass.js beside this file.
#include "platform/bass.h"

#include "platform/audio/pcm.h"
#include "platform/audio/waveout/mp3_header.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// clang-format off
EM_JS(int, web_audio_init, (), { return ulvo_audio.init(); });
EM_ASYNC_JS(int, web_audio_decode, (const unsigned char *bytes, int size, int rate,
                                    int frames, int frame_samples, int delay, int padding), {
    return await ulvo_audio.decode(HEAPU8.slice(bytes, bytes + size), rate, frames, frame_samples,
                                   delay, padding);
});
EM_JS(int, web_audio_start, (), { return ulvo_audio.start(); });
EM_JS(int, web_audio_play, (int stream, int flush), { return ulvo_audio.play(stream, flush); });
EM_JS(double, web_audio_position, (int stream), { return ulvo_audio.position(stream); });
// clang-format on

namespace {

// What the file says of its own gaps: LAME's header in the first frame gives the frame
// count and the encoder's delay and padding. -1 where it says nothing.
struct gapless_info {
    int frames = -1;
    int delay = -1;
    int padding = -1;
};

std::uint32_t read_be32(const unsigned char *p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The Xing (or Info) header sits after the first frame's side information; LAME's extension
// follows its optional fields.
gapless_info read_gapless(const unsigned char *frame, std::size_t available, const mpeg_frame &f) {
    gapless_info info;
    const int side = f.version == 10 ? (f.channels == 2 ? 32 : 17) : (f.channels == 2 ? 17 : 9);
    const std::size_t at = 4 + static_cast<std::size_t>(side);
    const std::size_t end = std::min(available, static_cast<std::size_t>(f.length));
    if (at + 8 > end)
        return info;
    const unsigned char *tag = frame + at;
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0)
        return info;
    const std::uint32_t flags = read_be32(tag + 4);
    std::size_t field = at + 8;
    if (flags & 1) {
        if (field + 4 > end)
            return info;
        info.frames = static_cast<int>(read_be32(frame + field));
        field += 4;
    }
    field += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    // The extension: 9 bytes of encoder name, then 12 more, then 12 bits each of delay and padding.
    if (field + 24 > end)
        return info;
    const unsigned char *gaps = frame + field + 21;
    info.delay = gaps[0] << 4 | gaps[1] >> 4;
    info.padding = (gaps[1] & 0x0F) << 8 | gaps[2];
    return info;
}

// Where MPEG audio begins, as the native library finds it: right after the ID3v2 tags and
// any zero padding, with the next two frames of the same format (or the end of the data).
// -1 when the data does not begin with MPEG audio.
long find_audio(const unsigned char *data, std::size_t size, mpeg_frame *first) {
    std::size_t at = 0;
    for (int tags = 0; tags < 8; ++tags) {
        const std::size_t tag = id3v2_size(data + at, size - at);
        if (tag == 0 || tag > size - at)
            break;
        at += tag;
    }
    while (at < size && at < std::size_t{1} << 16 && data[at] == 0)
        ++at;
    std::size_t next = at;
    for (int n = 0; n < 3; ++n) {
        if (n > 0 && (next + 4 > size || std::memcmp(data + next, "TAG", 3) == 0))
            break;
        mpeg_frame f;
        if (next + 4 > size || !parse_mpeg_header(data + next, &f))
            return -1;
        if (n == 0)
            *first = f;
        else if (f.version != first->version || f.layer != first->layer || f.rate != first->rate)
            return -1;
        next += static_cast<std::size_t>(f.length);
    }
    return static_cast<long>(at);
}

HSTREAM create_stream(const unsigned char *bytes, std::size_t size) {
    mpeg_frame first{};
    const long audio = find_audio(bytes, size, &first);
    if (audio < 0 || size > 0x7FFFFFFF)
        return 0;
    const gapless_info gaps =
        read_gapless(bytes + audio, size - static_cast<std::size_t>(audio), first);
    const int frame_samples = first.layer == 1                          ? 384
                              : first.layer == 3 && first.version != 10 ? 576
                                                                        : 1152;
    return static_cast<HSTREAM>(web_audio_decode(bytes, static_cast<int>(size), first.rate,
                                                 gaps.frames, frame_samples, gaps.delay,
                                                 gaps.padding));
}

// A whole file, or the part of it from offset (length 0: to the end), in memory.
std::unique_ptr<unsigned char[]> read_file(const char *name, QWORD offset, QWORD length,
                                           std::size_t *size) {
    std::FILE *f = std::fopen(name, "rb");
    if (!f)
        return nullptr;
    std::unique_ptr<unsigned char[]> bytes;
    long total = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        total = std::ftell(f);
    if (total > 0 && offset < static_cast<QWORD>(total)) {
        QWORD rest = static_cast<QWORD>(total) - offset;
        if (length != 0 && length < rest)
            rest = length;
        bytes.reset(new (std::nothrow) unsigned char[rest]);
        if (bytes && (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 ||
                      std::fread(bytes.get(), 1, rest, f) != rest))
            bytes.reset();
        *size = static_cast<std::size_t>(rest);
    }
    std::fclose(f);
    return bytes;
}

bool device_open = false;

} // namespace

int BASS_Init(int device, std::uint32_t, std::uint32_t, void *, const void *) {
    if (device != 1)
        return 0;
    if (!device_open)
        device_open = web_audio_init() != 0;
    return device_open ? 1 : 0;
}

HSTREAM BASS_StreamCreateFile(int mem, const void *file, QWORD offset, QWORD length,
                              std::uint32_t) {
    if (!file)
        return 0;
    if (mem) {
        if (length == 0)
            return 0;
        return create_stream(static_cast<const unsigned char *>(file) + offset,
                             static_cast<std::size_t>(length));
    }
    std::size_t size = 0;
    const auto bytes = read_file(static_cast<const char *>(file), offset, length, &size);
    return bytes ? create_stream(bytes.get(), size) : 0;
}

int BASS_Start() {
    if (!device_open)
        return 0;
    return web_audio_start();
}

int BASS_StreamPlay(HSTREAM handle, int flush, std::uint32_t) {
    if (!device_open)
        return 0;
    return web_audio_play(static_cast<int>(handle), flush);
}

QWORD BASS_ChannelGetPosition(std::uint32_t handle) {
    // Sample frames heard, as a double so that JavaScript hands over every value exactly.
    const double frames = web_audio_position(static_cast<int>(handle));
    if (frames < 0)
        return static_cast<QWORD>(-1);
    return static_cast<QWORD>(frames) * pcm_frame_bytes;
}
