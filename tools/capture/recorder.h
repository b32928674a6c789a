#pragma once
// What a capture writes, frame by frame and sound by sound, whatever runs the show: the
// caller hands over each presented frame and each piece of played sound, and plays the
// sound the recorder asks for between frames.

#include "tools/capture/options.h"
#include "tools/capture/progress.h"
#include "tools/capture/scale.h"
#include "tools/capture/wav.h"
#include "tools/capture/y4m.h"

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class recorder {
  public:
    recorder() = default;
    recorder(const recorder &) = delete;
    recorder &operator=(const recorder &) = delete;
    ~recorder();

    // Opens the outputs for a recording of total_bytes of sound (for a still: up to its
    // time, total_bytes unused). 1 on success; 0 with a message on stderr.
    int open(const capture_options &options, std::int64_t total_bytes);

    // Frames the recording holds, and those handed over so far.
    std::int64_t frames() const { return frames_; }
    std::int64_t frames_done() const { return done_; }
    bool done() const { return done_ >= frames_ || failed_; }

    // The next presented frame, 320x200 pixels 0x00RRGGBB. Returns the bytes of sound to
    // play before the next frame is composed (after the last frame: the rest of the
    // recording's length), or 0 when done() already held. A write error makes done() true.
    std::int64_t frame(const std::uint32_t *pixels);

    // Sound as the device plays it, in order.
    void sound(const unsigned char *bytes, std::size_t count);

    // Completes and closes the outputs (for --mp4, muxes them). 1 when everything asked
    // for was recorded and written.
    int finish();

  private:
    int open_video(const std::string &path);
    int open_wav(const std::string &path);
    int start_encoder();
    int close_outputs();
    void fail(const std::string &what);

    capture_options options_;
    std::int64_t total_bytes_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t done_ = 0;
    bool failed_ = false;
    bool finished_ = false;

    std::unique_ptr<sharp_scaler> scaler_;
    std::vector<std::uint32_t> scaled_;
    std::FILE *video_file_ = nullptr;
    std::unique_ptr<y4m_writer> video_;
    std::FILE *wav_file_ = nullptr;
    std::unique_ptr<wav_writer> wav_;
    std::unique_ptr<progress_line> progress_;

    // --mp4: ffmpeg encodes the video from a pipe; the sound waits in a file beside the
    // output until the video is complete, then both are muxed.
    pid_t encoder_ = -1;
    std::string video_part_;
    std::string sound_part_;
};

// The program's path in PATH, or "" when it is not there.
std::string find_program(const char *name);
