#include "tools/capture/options.h"

#include "tools/capture/timing.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

int parse_int(const char *text, int low, int high, int *out) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return 0;
    *out = static_cast<int>(v);
    return 1;
}

int parse_seconds(const char *text, std::int64_t *bytes) {
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0')
        return 0;
    *bytes = seconds_to_bytes(v);
    return *bytes >= 0;
}

} // namespace

const char *usage_text() {
    return "usage: ulvo-capture [options]\n"
           "Runs the show from data/ in the working directory and records it frame by frame,\n"
           "each frame at its exact moment of the music, with the sound beside it.\n"
           "\n"
           "  --fps N              frames a second (default 60)\n"
           "  --seconds S          length to record (default: the soundtrack's length)\n"
           "  --output FILE        the video, YUV4MPEG2 4:2:0 (default ulvo-capture.y4m);\n"
           "                       the sound goes beside it as FILE with .wav for its extension\n"
           "  --scale N            video size N*320 x N*240, shaped 4:3 as the full-screen\n"
           "                       display shows it (default 3: 960x720)\n"
           "  --png DIR            instead of video, every frame unscaled (320x200) as\n"
           "                       DIR/000000.png, DIR/000001.png, ..., and DIR/sound.wav\n"
           "  --still S FILE.png   only the frame on screen at S seconds, scaled as the video\n"
           "  --mp4 FILE           an H.264/AAC MP4 instead of the YUV4MPEG2 and WAV (needs "
           "ffmpeg)\n"
           "  --help               this text\n";
}

std::string wav_path_beside(const std::string &video_path) {
    const std::size_t slash = video_path.rfind('/');
    const std::size_t dot = video_path.rfind('.');
    if (dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1))
        return video_path.substr(0, dot) + ".wav";
    return video_path + ".wav";
}

int parse_options(int argc, const char *const *argv, capture_options *options, std::string *error) {
    capture_options o;
    bool output_given = false;
    bool seconds_given = false;
    bool png = false;
    bool still = false;
    bool mp4 = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const int left = argc - 1 - i; // arguments after this one
        auto missing = [&](const char *what) {
            *error = std::string(arg) + " needs " + what;
            return 0;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            o.help = true;
        } else if (std::strcmp(arg, "--fps") == 0) {
            if (left < 1)
                return missing("a number of frames a second");
            if (!parse_int(argv[++i], 1, max_fps, &o.fps)) {
                *error = "--fps takes a whole number from 1 to " + std::to_string(max_fps) +
                         ", not " + argv[i];
                return 0;
            }
        } else if (std::strcmp(arg, "--seconds") == 0) {
            if (left < 1)
                return missing("a length in seconds");
            if (!parse_seconds(argv[++i], &o.total_bytes) || o.total_bytes == 0) {
                *error = std::string("--seconds takes a length above 0 and up to ") +
                         std::to_string(static_cast<int>(max_seconds)) + ", not " + argv[i];
                return 0;
            }
            seconds_given = true;
        } else if (std::strcmp(arg, "--output") == 0) {
            if (left < 1)
                return missing("a file name");
            o.output = argv[++i];
            output_given = true;
        } else if (std::strcmp(arg, "--scale") == 0) {
            if (left < 1)
                return missing("a whole number");
            if (!parse_int(argv[++i], 1, max_scale, &o.scale)) {
                *error = "--scale takes a whole number from 1 to " + std::to_string(max_scale) +
                         ", not " + argv[i];
                return 0;
            }
        } else if (std::strcmp(arg, "--png") == 0) {
            if (left < 1)
                return missing("a folder");
            o.png_dir = argv[++i];
            png = true;
        } else if (std::strcmp(arg, "--still") == 0) {
            if (left < 2)
                return missing("a time in seconds and a file name");
            if (!parse_seconds(argv[++i], &o.still_bytes)) {
                *error = std::string("--still takes a time from 0 to ") +
                         std::to_string(static_cast<int>(max_seconds)) + " seconds, not " + argv[i];
                return 0;
            }
            o.still_file = argv[++i];
            still = true;
        } else if (std::strcmp(arg, "--mp4") == 0) {
            if (left < 1)
                return missing("a file name");
            o.mp4_file = argv[++i];
            mp4 = true;
        } else {
            *error = std::string("unknown argument ") + arg + " (see --help)";
            return 0;
        }
    }
    if (static_cast<int>(output_given) + png + still + mp4 > 1) {
        *error = "--output, --png, --still and --mp4 each choose what to write: give one";
        return 0;
    }
    if (still && seconds_given) {
        *error = "--still records up to its own time: leave out --seconds";
        return 0;
    }
    o.mode = png     ? capture_mode::png
             : still ? capture_mode::still
             : mp4   ? capture_mode::mp4
                     : capture_mode::video;
    *options = o;
    return 1;
}
