#include "platform/audio/waveout/acm_mp3.h"

#include "platform/audio/waveout/mp3_header.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t chunk_bytes = 8192;  // compressed bytes per conversion
constexpr std::size_t probe_bytes = 16384; // searched for the first frame

} // namespace

// A part of a file or of memory, read front to back and rewound on restart.
struct acm_mp3::source {
    std::FILE *file = nullptr;
    const unsigned char *memory = nullptr;
    std::uint64_t offset = 0;
    std::uint64_t length = 0; // 0 with a file: to its end
    std::uint64_t at = 0;     // relative to offset

    ~source() {
        if (file)
            std::fclose(file);
    }

    int seek(std::uint64_t to) {
        if (file && _fseeki64(file, static_cast<__int64>(offset + to), SEEK_SET) != 0)
            return 0;
        at = to;
        return 1;
    }

    std::size_t read(unsigned char *out, std::size_t bytes) {
        if (length) {
            if (at >= length)
                return 0;
            bytes = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, length - at));
        }
        std::size_t got = 0;
        if (file) {
            got = std::fread(out, 1, bytes, file);
        } else {
            std::memcpy(out, memory + offset + at, bytes);
            got = bytes;
        }
        at += got;
        return got;
    }
};

std::unique_ptr<acm_mp3> acm_mp3::open_file(const char *name, std::uint64_t offset,
                                            std::uint64_t length) {
    if (!name)
        return nullptr;
    auto src = std::make_unique<source>();
    src->file = std::fopen(name, "rb");
    if (!src->file)
        return nullptr;
    src->offset = offset;
    src->length = length;
    if (!src->seek(0))
        return nullptr;
    auto stream = std::unique_ptr<acm_mp3>(new acm_mp3(std::move(src)));
    return stream->open_codec() ? std::move(stream) : nullptr;
}

std::unique_ptr<acm_mp3> acm_mp3::open_memory(const void *bytes, std::uint64_t length) {
    if (!bytes || length == 0)
        return nullptr;
    auto src = std::make_unique<source>();
    src->memory = static_cast<const unsigned char *>(bytes);
    src->length = length;
    auto stream = std::unique_ptr<acm_mp3>(new acm_mp3(std::move(src)));
    return stream->open_codec() ? std::move(stream) : nullptr;
}

acm_mp3::acm_mp3(std::unique_ptr<source> src) : source_(std::move(src)) {}

acm_mp3::~acm_mp3() {
    close_codec();
}

void acm_mp3::close_codec() {
    if (codec_)
        acmStreamClose(static_cast<HACMSTREAM>(codec_), 0);
    codec_ = nullptr;
}

// Finds the audio, learns its format from the first frame and opens the codec for it.
int acm_mp3::open_codec() {
    std::vector<unsigned char> probe(probe_bytes);
    if (!source_->seek(0))
        return 0;
    std::size_t got = source_->read(probe.data(), probe.size());
    std::uint64_t base = 0;
    const std::size_t tag = id3v2_size(probe.data(), got);
    if (tag) {
        base = tag;
        if (!source_->seek(base))
            return 0;
        got = source_->read(probe.data(), probe.size());
    }
    mpeg_frame first;
    const long at = find_first_frame(probe.data(), got, &first);
    if (at < 0)
        return 0;
    audio_start_ = base + static_cast<std::uint64_t>(at);
    rate_ = first.rate;
    channels_ = first.channels;
    bitrate_ = first.bitrate;
    block_bytes_ = first.block_bytes;
    resampler_ = resampler(rate_, channels_);
    return restart();
}

int acm_mp3::restart() {
    close_codec();
    input_.clear();
    pending_.clear();
    pending_start_ = 0;
    resampler_.reset();
    codec_started_ = false;
    input_ended_ = false;
    ended_ = false;
    if (!source_->seek(audio_start_))
        return 0;

    MPEGLAYER3WAVEFORMAT in{};
    in.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    in.wfx.nChannels = static_cast<WORD>(channels_);
    in.wfx.nSamplesPerSec = static_cast<DWORD>(rate_);
    in.wfx.nAvgBytesPerSec = static_cast<DWORD>(bitrate_ / 8);
    in.wfx.nBlockAlign = 1;
    in.wfx.wBitsPerSample = 0;
    in.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    in.wID = MPEGLAYER3_ID_MPEG;
    in.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    in.nBlockSize = static_cast<WORD>(block_bytes_);
    in.nFramesPerBlock = 1;
    in.nCodecDelay = 0;

    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    out.nChannels = static_cast<WORD>(channels_);
    out.nSamplesPerSec = static_cast<DWORD>(rate_);
    out.wBitsPerSample = 16;
    out.nBlockAlign = static_cast<WORD>(channels_ * 2);
    out.nAvgBytesPerSec = static_cast<DWORD>(rate_) * out.nBlockAlign;

    HACMSTREAM codec = nullptr;
    if (acmStreamOpen(&codec, nullptr, &in.wfx, &out, nullptr, 0, 0, 0) != 0)
        return 0;
    codec_ = codec;
    DWORD decoded_bytes = 0;
    if (acmStreamSize(codec, chunk_bytes, &decoded_bytes, ACM_STREAMSIZEF_SOURCE) != 0 ||
        decoded_bytes == 0) {
        close_codec();
        return 0;
    }
    decoded_.resize(decoded_bytes);
    input_.reserve(chunk_bytes);
    return 1;
}

// One conversion: tops the compressed window up, decodes what the codec takes of it,
// and passes the samples on through the resampler.
void acm_mp3::decode_more() {
    if (!codec_) {
        ended_ = true;
        return;
    }
    if (!input_ended_ && input_.size() < chunk_bytes) {
        const std::size_t have = input_.size();
        input_.resize(chunk_bytes);
        const std::size_t got = source_->read(input_.data() + have, chunk_bytes - have);
        input_.resize(have + got);
        if (got == 0)
            input_ended_ = true;
    }
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = input_.data();
    header.cbSrcLength = static_cast<DWORD>(input_.size());
    header.pbDst = decoded_.data();
    header.cbDstLength = static_cast<DWORD>(decoded_.size());
    const auto codec = static_cast<HACMSTREAM>(codec_);
    DWORD flags = input_ended_ ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
    if (!codec_started_)
        flags |= ACM_STREAMCONVERTF_START;
    codec_started_ = true;
    std::size_t used = 0;
    std::size_t produced = 0;
    if (acmStreamPrepareHeader(codec, &header, 0) == 0) {
        if (acmStreamConvert(codec, &header, flags) == 0) {
            used = std::min<std::size_t>(header.cbSrcLengthUsed, input_.size());
            produced = std::min<std::size_t>(header.cbDstLengthUsed, decoded_.size());
        }
        acmStreamUnprepareHeader(codec, &header, 0);
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(used));

    std::vector<std::int16_t> samples(produced / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), decoded_.data(), samples.size() * 2);
    const std::size_t frame_samples = static_cast<std::size_t>(channels_);
    resampler_.push(samples.data(), samples.size() / frame_samples, pending_);

    // The end: the file is read and the codec gives nothing more, or it is stuck on
    // bytes that it will never take.
    if (used == 0 && produced == 0 && (input_ended_ || input_.size() >= chunk_bytes)) {
        resampler_.finish(pending_);
        ended_ = true;
    }
}

std::size_t acm_mp3::read(unsigned char *out, std::size_t bytes) {
    bytes -= bytes % 4;
    std::size_t done = 0;
    while (done < bytes) {
        const std::size_t available = (pending_.size() - pending_start_) * 2;
        if (available == 0) {
            if (ended_)
                break;
            pending_.clear();
            pending_start_ = 0;
            decode_more();
            continue;
        }
        const std::size_t take = std::min(available, bytes - done);
        std::memcpy(out + done, pending_.data() + pending_start_, take);
        pending_start_ += take / 2;
        done += take;
    }
    return done;
}
