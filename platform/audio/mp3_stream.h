#pragma once
// An MP3 file decoded as it plays (libmpg123), delivered as 44100 Hz stereo signed 16-bit
// whatever its own rate and channel count: mono is doubled, other rates are resampled
// (libsyn123). Memory does not depend on the file's length: the file is read through a
// fixed window and every buffer is sized for one MPEG frame.
#include <cstdint>
#include <memory>
#include <vector>

struct mpg123_handle_struct;
struct syn123_struct;

class mp3_stream {
  public:
    // From a file: `length` bytes at `offset` (0: to the end). Null when the file is
    // missing, empty, or does not begin with MPEG audio (past its ID3v2 tags).
    static std::unique_ptr<mp3_stream> open_file(const char *name, std::uint64_t offset,
                                                 std::uint64_t length);
    // From `length` bytes in memory, which must outlive the stream.
    static std::unique_ptr<mp3_stream> open_memory(const void *bytes, std::uint64_t length);

    ~mp3_stream();
    mp3_stream(const mp3_stream &) = delete;
    mp3_stream &operator=(const mp3_stream &) = delete;

    // Back to the beginning. 0 if the file can no longer be read.
    int restart();

    // Up to `bytes` bytes of 44100 Hz stereo s16 audio; fewer only at the end of the stream.
    std::size_t read(unsigned char *out, std::size_t bytes);

    // The file's own format, as found at its start.
    long source_rate() const { return source_rate_; }
    int source_channels() const { return source_channels_; }

    // The byte source libmpg123 reads through (a part of a file, or of memory).
    struct source;

  private:
    explicit mp3_stream(std::unique_ptr<source> src);
    int open_decoder();
    int start_format();
    void decode_more();

    std::unique_ptr<source> source_;
    mpg123_handle_struct *decoder_ = nullptr;
    syn123_struct *resampler_ = nullptr;
    long rate_ = 0;    // what the decoder currently delivers
    int encoding_ = 0; // s16 at 44100 (passed through), float otherwise (resampled)
    long source_rate_ = 0;
    int source_channels_ = 0;
    bool ended_ = false;
    std::vector<float> decoded_; // one call of the decoder (s16 or float)
    std::vector<float> resampled_;
    std::vector<std::int16_t> pending_; // output not yet read
    std::size_t pending_start_ = 0;     // in bytes
    std::size_t pending_end_ = 0;
};
