#pragma once
// An MP3 (MPEG 1, 2 or 2.5 Layer III) decoded as it plays by the system's MP3 codec
// through the Audio Compression Manager, delivered as 44100 Hz stereo signed 16-bit.
// The file is read through a fixed window, so memory does not grow with its length.
#include "platform/audio/waveout/resample.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

class acm_mp3 {
  public:
    // `length` bytes of the file `name` from `offset` (0: to the end of the file). Null
    // when the file is missing or holds no Layer III audio the codec accepts.
    static std::unique_ptr<acm_mp3> open_file(const char *name, std::uint64_t offset,
                                              std::uint64_t length);
    // From `length` bytes in memory, which must outlive the stream.
    static std::unique_ptr<acm_mp3> open_memory(const void *bytes, std::uint64_t length);

    ~acm_mp3();
    acm_mp3(const acm_mp3 &) = delete;
    acm_mp3 &operator=(const acm_mp3 &) = delete;

    // Back to the beginning. 0 when the codec can no longer be opened.
    int restart();

    // Up to `bytes` bytes (a multiple of 4) of 44100 Hz stereo s16; fewer only at the end.
    std::size_t read(unsigned char *out, std::size_t bytes);

  private:
    struct source;
    explicit acm_mp3(std::unique_ptr<source> src);
    int open_codec();
    void close_codec();
    void decode_more();

    std::unique_ptr<source> source_;
    std::uint64_t audio_start_ = 0; // past any ID3v2 tag and junk before the first frame
    int rate_ = 0;
    int channels_ = 0;
    int bitrate_ = 0;
    int block_bytes_ = 0;
    void *codec_ = nullptr; // HACMSTREAM
    bool codec_started_ = false;
    bool input_ended_ = false;
    bool ended_ = false;
    resampler resampler_{44100, 2};
    std::vector<unsigned char> input_;   // compressed bytes not yet taken by the codec
    std::vector<unsigned char> decoded_; // one conversion's output at the file's own format
    std::vector<std::int16_t> pending_;  // 44100 Hz stereo, not yet read
    std::size_t pending_start_ = 0;      // in samples
};
