#pragma once
// The command line of ulvo-capture.

#include <cstdint>
#include <string>

enum class capture_mode {
    video, // YUV4MPEG2 at --output, WAV beside it
    png,   // every frame unscaled as a PNG in a folder, WAV beside them
    still, // one scaled frame as a PNG
    mp4,   // H.264/AAC through ffmpeg
};

struct capture_options {
    capture_mode mode = capture_mode::video;
    int fps = 60;
    std::int64_t total_bytes = -1; // length of the recording; -1: the soundtrack's length
    std::string output = "ulvo-capture.y4m";
    std::string png_dir;
    std::int64_t still_bytes = 0; // where the still is taken
    std::string still_file;
    int scale = 3;
    std::string mp4_file;
    bool help = false;
};

constexpr int max_fps = 1000;
constexpr int max_scale = 8;

// Parses argv[1..]; 1 on success, 0 with a one-line message in *error.
int parse_options(int argc, const char *const *argv, capture_options *options, std::string *error);

// The text of --help.
const char *usage_text();

// The WAV that goes beside a video file: its name with the extension replaced by ".wav".
std::string wav_path_beside(const std::string &video_path);
