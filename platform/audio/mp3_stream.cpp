#include "platform/audio/mp3_stream.h"

#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/types.h>

namespace {

constexpr long output_rate = 44100;
constexpr long lowest_mpeg_rate = 8000;
constexpr std::size_t float_frame_bytes = 2 * sizeof(float);

} // namespace

struct mp3_stream::source {
    std::FILE *file = nullptr;
    const unsigned char *memory = nullptr;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    std::uint64_t pos = 0;

    ~source() {
        if (file)
            std::fclose(file);
    }

    std::size_t read(void *out, std::size_t count) {
        if (pos >= size)
            return 0;
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size - pos));
        if (count == 0)
            return 0;
        if (memory) {
            std::memcpy(out, memory + start + pos, count);
        } else {
            if (fseeko(file, static_cast<off_t>(start + pos), SEEK_SET) != 0)
                return 0;
            count = std::fread(out, 1, count, file);
        }
        pos += count;
        return count;
    }
};

namespace {

// libmpg123 reads through these, so that a part of a file or a block of memory plays alike.
ssize_t source_read(void *handle, void *out, size_t count) {
    return static_cast<ssize_t>(static_cast<mp3_stream::source *>(handle)->read(out, count));
}

off_t source_seek(void *handle, off_t offset, int whence) {
    auto *src = static_cast<mp3_stream::source *>(handle);
    std::int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<std::int64_t>(src->pos);
    else if (whence == SEEK_END)
        base = static_cast<std::int64_t>(src->size);
    else if (whence != SEEK_SET)
        return -1;
    const std::int64_t to = base + offset;
    if (to < 0 || static_cast<std::uint64_t>(to) > src->size)
        return -1;
    src->pos = static_cast<std::uint64_t>(to);
    return static_cast<off_t>(to);
}

struct frame_header {
    int version; // 1: MPEG 1, 2: MPEG 2, 3: MPEG 2.5
    int layer;
    long rate;
    std::size_t length; // 0 for free-format frames, whose length the header does not give
};

bool parse_header(const unsigned char *h, frame_header &out) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return false;
    static const int versions[4] = {3, 0, 2, 1};
    static const int layers[4] = {0, 3, 2, 1};
    out.version = versions[(h[1] >> 3) & 3];
    out.layer = layers[(h[1] >> 1) & 3];
    const int bitrate_index = h[2] >> 4;
    const int rate_index = (h[2] >> 2) & 3;
    const int emphasis = h[3] & 3;
    if (out.version == 0 || out.layer == 0 || bitrate_index == 15 || rate_index == 3 ||
        emphasis == 2)
        return false;
    static const long rates[3] = {44100, 48000, 32000};
    out.rate = rates[rate_index] >> (out.version - 1);
    if (out.version == 3)
        out.rate = rates[rate_index] / 4;
    static const int kbps[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG 1, I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG 1, II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG 1, III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG 2, I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG 2, II, III
    };
    const int row = out.version == 1 ? out.layer - 1 : (out.layer == 1 ? 3 : 4);
    const long bitrate = kbps[row][bitrate_index] * 1000L;
    const long padding = (h[2] >> 1) & 1;
    long length;
    if (out.layer == 1)
        length = (12 * bitrate / out.rate + padding) * 4;
    else if (out.layer == 3 && out.version != 1)
        length = 72 * bitrate / out.rate + padding;
    else
        length = 144 * bitrate / out.rate + padding;
    out.length = static_cast<std::size_t>(length);
    return true;
}

// Whether MPEG audio frames start at `at`: three in a row of the same format, or fewer
// up to the end of the file (or its ID3v1 tag).
bool frames_follow(mp3_stream::source &src, std::uint64_t at, bool free_format_allowed) {
    frame_header first{};
    for (int n = 0; n < 3; ++n) {
        unsigned char head[4];
        src.pos = at;
        const std::size_t got = src.read(head, 4);
        if (n > 0 && (got < 4 || std::memcmp(head, "TAG", 3) == 0))
            return true;
        frame_header next{};
        if (got < 4 || !parse_header(head, next))
            return false;
        if (n == 0)
            first = next;
        else if (next.version != first.version || next.layer != first.layer ||
                 next.rate != first.rate)
            return false;
        // A free-format frame does not give its length; take it only where the audio must begin.
        if (next.length == 0)
            return free_format_allowed;
        at += next.length;
    }
    return true;
}

// Where the MPEG audio begins, or -1. libmpg123 hunts through any junk for something that
// looks like a frame, and finds one in most programs and many other binary files (their
// repetitive code chains into frame-like headers). So the audio must begin the file, past
// its ID3v2 tags and the zero padding some taggers leave after them.
std::int64_t find_mpeg_audio(mp3_stream::source &src) {
    std::uint64_t at = 0;
    for (int tags = 0; tags < 8; ++tags) {
        unsigned char head[10];
        src.pos = at;
        if (src.read(head, 10) < 10 || std::memcmp(head, "ID3", 3) != 0)
            break;
        if ((head[6] | head[7] | head[8] | head[9]) & 0x80)
            return -1;
        const std::uint64_t size =
            (std::uint64_t{head[6]} << 21) | (head[7] << 14) | (head[8] << 7) | head[9];
        at += 10 + size + ((head[5] & 0x10) ? 10 : 0);
    }
    unsigned char block[4096];
    for (int blocks = 0; blocks < 16; ++blocks) {
        src.pos = at;
        const std::size_t got = src.read(block, sizeof block);
        const unsigned char *data =
            std::find_if(block, block + got, [](unsigned char b) { return b != 0; });
        at += static_cast<std::uint64_t>(data - block);
        if (data != block + got || got < sizeof block)
            break;
    }
    return frames_follow(src, at, true) ? static_cast<std::int64_t>(at) : -1;
}

} // namespace

std::unique_ptr<mp3_stream> mp3_stream::open_file(const char *name, std::uint64_t offset,
                                                  std::uint64_t length) {
    if (!name)
        return nullptr;
    auto src = std::make_unique<source>();
    src->file = std::fopen(name, "rb");
    if (!src->file || fseeko(src->file, 0, SEEK_END) != 0)
        return nullptr;
    const off_t file_size = ftello(src->file);
    if (file_size < 0 || offset >= static_cast<std::uint64_t>(file_size))
        return nullptr;
    const std::uint64_t rest = static_cast<std::uint64_t>(file_size) - offset;
    src->start = offset;
    src->size = length == 0 ? rest : std::min(length, rest);
    auto stream = std::unique_ptr<mp3_stream>(new mp3_stream(std::move(src)));
    return stream->open_decoder() ? std::move(stream) : nullptr;
}

std::unique_ptr<mp3_stream> mp3_stream::open_memory(const void *bytes, std::uint64_t length) {
    if (!bytes || length == 0)
        return nullptr;
    auto src = std::make_unique<source>();
    src->memory = static_cast<const unsigned char *>(bytes);
    src->size = length;
    auto stream = std::unique_ptr<mp3_stream>(new mp3_stream(std::move(src)));
    return stream->open_decoder() ? std::move(stream) : nullptr;
}

mp3_stream::mp3_stream(std::unique_ptr<source> src) : source_(std::move(src)) {}

mp3_stream::~mp3_stream() {
    if (decoder_)
        mpg123_delete(decoder_);
    if (resampler_)
        syn123_del(resampler_);
}

int mp3_stream::open_decoder() {
    // The decoder starts at the first frame.
    const std::int64_t audio = find_mpeg_audio(*source_);
    if (audio < 0)
        return 0;
    source_->start += static_cast<std::uint64_t>(audio);
    source_->size -= static_cast<std::uint64_t>(audio);
    int error = 0;
    decoder_ = mpg123_new(nullptr, &error);
    if (!decoder_)
        return 0;
    mpg123_param(decoder_, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS,
                 0);
    mpg123_param(decoder_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    // Past the start (checked above), skip damage of any length rather than give up.
    mpg123_param(decoder_, MPG123_RESYNC_LIMIT, -1, 0);
    // Every rate at its own value: 44100 as it is, the others as float for the resampler.
    mpg123_format_none(decoder_);
    const long *rates = nullptr;
    std::size_t rate_count = 0;
    mpg123_rates(&rates, &rate_count);
    for (std::size_t i = 0; i < rate_count; ++i)
        mpg123_format(decoder_, rates[i], MPG123_STEREO,
                      rates[i] == output_rate ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32);
    // Room for the most one decoder call delivers, and for that resampled from the lowest rate.
    decoded_.resize(mpg123_outblock(decoder_) / sizeof(float) + 2);
    const std::size_t frames = decoded_.size() * sizeof(float) / float_frame_bytes;
    const std::size_t resampled_frames =
        syn123_resample_count(lowest_mpeg_rate, output_rate, frames);
    resampled_.resize(2 * resampled_frames);
    pending_.resize(std::max(2 * resampled_frames, decoded_.size() * 2));
    if (!restart())
        return 0;
    mpg123_frameinfo2 info{};
    if (mpg123_info2(decoder_, &info) != MPG123_OK)
        return 0;
    source_rate_ = info.rate;
    source_channels_ = info.mode == MPG123_M_MONO ? 1 : 2;
    return 1;
}

int mp3_stream::restart() {
    mpg123_close(decoder_);
    source_->pos = 0;
    ended_ = false;
    pending_start_ = pending_end_ = 0;
    rate_ = 0;
    if (resampler_)
        syn123_setup_resample(resampler_, 0, 0, 0, 0, 0); // clears its history
    if (mpg123_replace_reader_handle(decoder_, source_read, source_seek, nullptr) != MPG123_OK ||
        mpg123_open_handle(decoder_, source_.get()) != MPG123_OK)
        return 0;
    return start_format();
}

int mp3_stream::start_format() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(decoder_, &rate, &channels, &encoding) != MPG123_OK || channels != 2)
        return 0;
    if (encoding == MPG123_ENC_FLOAT_32) {
        if (!resampler_) {
            int error = 0;
            resampler_ = syn123_new(output_rate, 2, MPG123_ENC_FLOAT_32, 0, &error);
            if (!resampler_)
                return 0;
        }
        // Keeps the filter's history when only the rate changes, so a change mid-file is smooth.
        if (rate != rate_ &&
            syn123_setup_resample(resampler_, rate, output_rate, 2, 0, 0) != SYN123_OK)
            return 0;
    } else if (encoding != MPG123_ENC_SIGNED_16 || rate != output_rate) {
        return 0;
    }
    rate_ = rate;
    encoding_ = encoding;
    return 1;
}

void mp3_stream::decode_more() {
    pending_start_ = pending_end_ = 0;
    std::size_t got = 0;
    int result = MPG123_OK;
    // A damaged stretch makes libmpg123 report an error, and it resyncs on the next call;
    // so a call that delivers nothing is repeated while the file is still being read.
    std::uint64_t read_to = source_->pos;
    for (int stalls = 0; stalls < 16;) {
        result = mpg123_read(decoder_, decoded_.data(), decoded_.size() * sizeof(float), &got);
        if (got > 0 || result == MPG123_NEW_FORMAT || result == MPG123_DONE)
            break;
        if (source_->pos == read_to) {
            ++stalls;
        } else {
            stalls = 0;
            read_to = source_->pos;
        }
    }
    if (result == MPG123_NEW_FORMAT) {
        if (!start_format())
            ended_ = true;
        return;
    }
    if (result == MPG123_DONE || got == 0)
        ended_ = true;
    if (got == 0)
        return;
    if (encoding_ == MPG123_ENC_SIGNED_16) {
        std::memcpy(pending_.data(), decoded_.data(), got);
        pending_end_ = got;
        return;
    }
    const std::size_t frames = got / float_frame_bytes;
    const std::size_t out_frames =
        syn123_resample(resampler_, resampled_.data(), decoded_.data(), frames);
    std::int16_t *out = pending_.data();
    for (std::size_t i = 0; i < 2 * out_frames; ++i) {
        const float value = std::clamp(resampled_[i] * 32768.0f, -32768.0f, 32767.0f);
        out[i] = static_cast<std::int16_t>(std::lrint(value));
    }
    pending_end_ = out_frames * 4;
}

std::size_t mp3_stream::read(unsigned char *out, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        if (pending_start_ == pending_end_) {
            if (ended_)
                break;
            decode_more();
            continue;
        }
        const std::size_t n = std::min(bytes - done, pending_end_ - pending_start_);
        std::memcpy(out + done,
                    reinterpret_cast<const unsigned char *>(pending_.data()) + pending_start_, n);
        pending_start_ += n;
        done += n;
    }
    return done;
}
