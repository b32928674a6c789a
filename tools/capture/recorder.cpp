#include "tools/capture/recorder.h"

#include "tools/capture/png_file.h"
#include "tools/capture/timing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace {

constexpr int source_width = 320;
constexpr int source_height = 200;

// Starts a program with these arguments; its standard input is `input` when that is not
// -1. Arguments go to it as they are, never through a shell. -1 when it cannot start.
pid_t start_program(const std::vector<std::string> &args, int input) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return err == 0 ? pid : -1;
}

// 1 when the program ran and exited with status 0.
int wait_program(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return 0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int make_folder(const std::string &path) {
    if (mkdir(path.c_str(), 0777) == 0)
        return 1;
    struct stat st {};
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE *create(const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::fprintf(stderr, "ulvo-capture: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
    return f;
}

} // namespace

std::string find_program(const char *name) {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

recorder::~recorder() {
    if (!finished_) {
        failed_ = true;
        close_outputs();
    }
}

void recorder::fail(const std::string &what) {
    if (!failed_)
        std::fprintf(stderr, "ulvo-capture: %s\n", what.c_str());
    failed_ = true;
}

int recorder::open_video(const std::string &path) {
    video_file_ = create(path);
    if (!video_file_)
        return 0;
    return start_encoder();
}

int recorder::start_encoder() {
    // Whole frames per write; the default buffer would split each into many.
    std::setvbuf(video_file_, nullptr, _IOFBF, 1 << 20);
    const int w = scaled_width(options_.scale);
    const int h = scaled_height(options_.scale);
    scaler_ = std::make_unique<sharp_scaler>(source_width, source_height, w, h);
    scaled_.resize(static_cast<std::size_t>(w) * h);
    video_ = std::make_unique<y4m_writer>(video_file_, w, h, options_.fps);
    if (!video_->write_header()) {
        fail("cannot write the video");
        return 0;
    }
    return 1;
}

int recorder::open_wav(const std::string &path) {
    wav_file_ = create(path);
    if (!wav_file_)
        return 0;
    wav_ = std::make_unique<wav_writer>(wav_file_, static_cast<std::uint32_t>(total_bytes_));
    if (!wav_->write_header()) {
        fail("cannot write " + path);
        return 0;
    }
    return 1;
}

int recorder::open(const capture_options &options, std::int64_t total_bytes) {
    options_ = options;
    total_bytes_ = total_bytes;
    int ok = 1;
    switch (options.mode) {
    case capture_mode::still:
        frames_ = frame_at(options.still_bytes, options.fps) + 1;
        total_bytes_ = 0;
        scaler_ = std::make_unique<sharp_scaler>(
            source_width, source_height, scaled_width(options.scale), scaled_height(options.scale));
        scaled_.resize(static_cast<std::size_t>(scaler_->dst_width()) * scaler_->dst_height());
        break;
    case capture_mode::video:
        frames_ = frame_count(total_bytes, options.fps);
        ok = open_video(options.output) && open_wav(wav_path_beside(options.output));
        break;
    case capture_mode::png:
        frames_ = frame_count(total_bytes, options.fps);
        if (!make_folder(options.png_dir)) {
            std::fprintf(stderr, "ulvo-capture: cannot make the folder %s\n",
                         options.png_dir.c_str());
            ok = 0;
            break;
        }
        ok = open_wav(options.png_dir + "/sound.wav");
        break;
    case capture_mode::mp4: {
        frames_ = frame_count(total_bytes, options.fps);
        video_part_ = options.mp4_file + ".video.mp4";
        sound_part_ = options.mp4_file + ".sound.wav";
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            fail("cannot make a pipe to ffmpeg");
            return 0;
        }
        // BT.601 limited range, as the video is written, tagged so players read it so.
        // clang-format off
        encoder_ = start_program({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                  "-f", "yuv4mpegpipe", "-i", "pipe:0",
                                  "-c:v", "libx264", "-preset", "fast", "-crf", "18",
                                  "-pix_fmt", "yuv420p", "-color_range", "tv",
                                  "-colorspace", "smpte170m", "-color_primaries", "smpte170m",
                                  "-color_trc", "smpte170m",
                                  "-an", video_part_},
                                 fds[0]);
        // clang-format on
        close(fds[0]);
        if (encoder_ < 0) {
            close(fds[1]);
            fail("cannot start ffmpeg");
            return 0;
        }
        video_file_ = fdopen(fds[1], "wb");
        if (!video_file_) {
            close(fds[1]);
            fail("cannot write to ffmpeg");
            return 0;
        }
        ok = start_encoder() && open_wav(sound_part_);
        break;
    }
    }
    if (ok)
        progress_ = std::make_unique<progress_line>(stderr, frames_, options.fps);
    else
        failed_ = true;
    return ok;
}

std::int64_t recorder::frame(const std::uint32_t *pixels) {
    if (done())
        return 0;
    const std::int64_t n = done_;
    switch (options_.mode) {
    case capture_mode::video:
    case capture_mode::mp4:
        scaler_->scale(pixels, scaled_.data());
        if (!video_->write_frame(scaled_.data()))
            fail(options_.mode == capture_mode::mp4 ? "ffmpeg stopped taking the video"
                                                    : "cannot write " + options_.output);
        break;
    case capture_mode::png: {
        char name[32];
        std::snprintf(name, sizeof name, "/%06lld.png", static_cast<long long>(n));
        // Thousands of frames: the fastest compression, still lossless.
        if (!write_png((options_.png_dir + name).c_str(), pixels, source_width, source_height, 1))
            failed_ = true;
        break;
    }
    case capture_mode::still:
        // Only the last frame is the still; the ones before only lead the show up to it.
        if (n == frames_ - 1) {
            scaler_->scale(pixels, scaled_.data());
            if (!write_png(options_.still_file.c_str(), scaled_.data(), scaler_->dst_width(),
                           scaler_->dst_height()))
                failed_ = true;
        }
        break;
    }
    ++done_;
    if (progress_)
        progress_->update(done_);
    const std::int64_t next = done_ < frames_ ? frame_position(done_, options_.fps) : total_bytes_;
    return next > frame_position(n, options_.fps) ? next - frame_position(n, options_.fps) : 0;
}

void recorder::sound(const unsigned char *bytes, std::size_t count) {
    if (wav_ && !failed_ && !wav_->write(bytes, count))
        fail("cannot write the sound");
}

int recorder::close_outputs() {
    int ok = 1;
    if (wav_) {
        ok = wav_->finish() && ok;
        wav_.reset();
    }
    if (wav_file_) {
        ok = std::fclose(wav_file_) == 0 && ok;
        wav_file_ = nullptr;
    }
    video_.reset();
    if (video_file_) {
        ok = std::fclose(video_file_) == 0 && ok; // for --mp4, the end of ffmpeg's input
        video_file_ = nullptr;
    }
    if (encoder_ >= 0) {
        ok = wait_program(encoder_) && ok;
        encoder_ = -1;
    }
    if (failed_ || !ok) {
        if (!video_part_.empty())
            std::remove(video_part_.c_str());
        if (!sound_part_.empty())
            std::remove(sound_part_.c_str());
    }
    return ok;
}

int recorder::finish() {
    if (finished_)
        return !failed_;
    if (progress_)
        progress_->finish();
    if (!failed_ && done_ < frames_)
        fail("the show ended after " + std::to_string(done_) + " of " + std::to_string(frames_) +
             " frames");
    if (!close_outputs())
        fail("cannot complete the output");
    finished_ = true;
    if (failed_ || options_.mode != capture_mode::mp4)
        return !failed_;

    // The video as it is; the sound encoded to AAC.
    // clang-format off
    const pid_t mux = start_program({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats", "-y",
                                     "-i", video_part_, "-i", sound_part_,
                                     "-map", "0:v:0", "-map", "1:a:0",
                                     "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                                     "-movflags", "+faststart", options_.mp4_file},
                                    -1);
    // clang-format on
    const int muxed = mux >= 0 && wait_program(mux);
    std::remove(video_part_.c_str());
    std::remove(sound_part_.c_str());
    if (!muxed)
        fail("ffmpeg could not make " + options_.mp4_file);
    return !failed_;
}
