// ulvo-capture as a whole: it runs the real show on the default data and records it. The
// frames it writes are checked against the show's own composition at the frames'
// positions, the sound against the decoded soundtrack.
#include "assets/assets.h"
#include "assets/fit.h"
#include "platform/bass.h"
#include "platform/host/headless/audio_control.h"
#include "show/show.h"
#include "tools/capture/png_file.h"
#include "tools/capture/scale.h"
#include "tools/capture/timing.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string source_dir = ULVO_SOURCE_DIR;

struct run_result {
    int status;
    std::string errors; // what it wrote to standard error
};

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs ulvo-capture from `dir` (where it looks for data/), through the shell for the
// redirection only; every path here is ours and holds no quote.
run_result run_capture(const std::string &args, const std::string &dir = source_dir,
                       const std::string &env = "") {
    const std::string errors =
        std::filesystem::temp_directory_path() / ("ulvo_capture_err_" + std::to_string(getpid()));
    const std::string command = "cd '" + dir + "' && " + env + " '" + ULVO_CAPTURE + "' " + args +
                                " </dev/null >/dev/null 2>'" + errors + "'";
    const int status = std::system(command.c_str());
    run_result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(errors)};
    std::remove(errors.c_str());
    return r;
}

std::vector<std::uint32_t> masked(const std::uint32_t *pixels, std::size_t count) {
    std::vector<std::uint32_t> v(pixels, pixels + count);
    for (std::uint32_t &p : v)
        p &= 0x00FFFFFF;
    return v;
}

// The show's composition in this process: its pictures loaded as it loads them, and its
// state as the program starts.
class composed_show {
  public:
    composed_show() {
        const std::filesystem::path here = std::filesystem::current_path();
        std::filesystem::current_path(source_dir);
        for (int slot = 0; slot < image_count; ++slot) {
            char name[16];
            if (slot == title_slot)
                std::snprintf(name, sizeof name, "ulvo.gif");
            else
                std::snprintf(name, sizeof name, "%02i.jpg", slot);
            std::uint32_t *pixels = nullptr;
            int w = 0;
            int h = 0;
            if (!load_image(name, &pixels, &w, &h))
                std::abort();
            std::uint32_t *frame = fit_picture(pixels, w, h, frame_width, frame_height);
            if (frame != pixels)
                std::free(pixels);
            image_table[slot] = frame;
        }
        std::filesystem::current_path(here);
        show_rand_state = 1;
        std::memset(work_frame, 0, sizeof work_frame);
    }
    ~composed_show() {
        for (std::uint32_t *&p : image_table) {
            std::free(p);
            p = nullptr;
        }
    }
    composed_show(const composed_show &) = delete;
    composed_show &operator=(const composed_show &) = delete;

    // The next frame, composed at the position given.
    std::vector<std::uint32_t> frame(std::int64_t position) {
        compose_frame(position);
        return masked(work_frame, frame_pixels);
    }
};

// The first `bytes` of the soundtrack as the audio library decodes it, through the
// virtual device (once per process: a second stream would play along with the first).
std::vector<unsigned char> decoded_soundtrack(std::size_t bytes) {
    static std::vector<unsigned char> sound;
    if (sound.empty()) {
        headless_audio_set_sink([](void *, const unsigned char *b,
                                   std::size_t n) { sound.insert(sound.end(), b, b + n); },
                                nullptr);
        EXPECT_TRUE(BASS_Init(1, 44100, 256, nullptr, nullptr));
        const std::string path = source_dir + "/data/ulvo.mp3";
        const HSTREAM music = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        EXPECT_NE(music, 0u);
        BASS_Start();
        BASS_StreamPlay(music, 1, 0);
        headless_audio_advance(5 * 176400);
        headless_audio_set_sink(nullptr, nullptr);
    }
    if (bytes > sound.size())
        return {};
    return std::vector<unsigned char>(sound.begin(), sound.begin() + static_cast<long>(bytes));
}

class CaptureRun : public testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ulvo_capture_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(CaptureRun, PngFramesAreTheShowsFramesAtTheirPositions) {
    // Two frames a second for 70 seconds: the title, the fades, the double noise and the
    // first strobe frames.
    const int fps = 2;
    const std::int64_t frames = 140;
    const run_result r = run_capture("--png '" + dir + "/frames' --fps 2 --seconds 70");
    ASSERT_EQ(r.status, 0) << r.errors;

    composed_show show;
    bool seen[4] = {};
    for (std::int64_t n = 0; n < frames; ++n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        char name[32];
        std::snprintf(name, sizeof name, "/frames/%06lld.png", static_cast<long long>(n));
        std::vector<std::uint32_t> png;
        int w = 0;
        int h = 0;
        ASSERT_TRUE(read_png((dir + name).c_str(), &png, &w, &h));
        ASSERT_EQ(w, frame_width);
        ASSERT_EQ(h, frame_height);
        const std::int64_t position = frame_position(n, fps);
        seen[timeline_phase(position)] = true;
        ASSERT_TRUE(png == show.frame(position));
    }
    EXPECT_TRUE(seen[phase_title] && seen[phase_fade] && seen[phase_double_noise] &&
                seen[phase_strobe]);
    EXPECT_FALSE(std::filesystem::exists(dir + "/frames/000140.png"));
    EXPECT_EQ(std::filesystem::file_size(dir + "/frames/sound.wav"), 44u + 70 * 176400);
}

TEST_F(CaptureRun, StillIsTheFrameOnScreenAtItsTimeScaledAsTheDisplayShowsIt) {
    // At 5 fps, 15.7 s falls between frames 78 (15.6 s) and 79 (15.8 s): frame 78 is on
    // screen, early in the first fade.
    const run_result r = run_capture("--still 15.7 '" + dir + "/still.png' --fps 5 --scale 2");
    ASSERT_EQ(r.status, 0) << r.errors;
    std::vector<std::uint32_t> still;
    int w = 0;
    int h = 0;
    ASSERT_TRUE(read_png((dir + "/still.png").c_str(), &still, &w, &h));
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);

    composed_show show;
    std::vector<std::uint32_t> frame;
    for (std::int64_t n = 0; n <= 78; ++n)
        frame = show.frame(frame_position(n, 5));
    EXPECT_EQ(timeline_phase(frame_position(78, 5)), phase_fade);
    sharp_scaler scaler(frame_width, frame_height, 640, 480);
    std::vector<std::uint32_t> expected(640 * 480);
    scaler.scale(frame.data(), expected.data());
    EXPECT_TRUE(still == expected);
}

TEST_F(CaptureRun, SameDataAndOptionsGiveTheSameBytes) {
    // Twenty seconds reach the fades, whose noise would show any drift of the clock.
    const std::string args = " --fps 4 --seconds 20 --scale 1";
    ASSERT_EQ(run_capture("--output '" + dir + "/a.y4m'" + args).status, 0);
    ASSERT_EQ(run_capture("--output '" + dir + "/b.y4m'" + args).status, 0);
    const std::string a = read_file(dir + "/a.y4m");
    EXPECT_EQ(
        a.size(),
        std::string("YUV4MPEG2 W320 H240 F4:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n").size() +
            80 * (6 + 320 * 240 * 3 / 2));
    EXPECT_TRUE(a == read_file(dir + "/b.y4m"));
    EXPECT_TRUE(read_file(dir + "/a.wav") == read_file(dir + "/b.wav"));
}

TEST_F(CaptureRun, SoundIsTheSoundtrackForTheSecondsAsked) {
    struct length_case {
        const char *seconds;
        int fps;
        std::int64_t sound_bytes;
        std::int64_t frames;
    };
    const length_case cases[] = {
        {"0.5", 24, 88200, 12},
        {"2.25", 7, 396900, 16},    // 15.75 frames: the 16th starts before the end
        {"1.0001", 60, 176416, 61}, // 44104.41 samples: to the nearest
    };
    for (const length_case &c : cases) {
        SCOPED_TRACE(std::string(c.seconds) + " s at " + std::to_string(c.fps) + " fps");
        const run_result r = run_capture("--output '" + dir + "/v.y4m' --scale 1 --fps " +
                                         std::to_string(c.fps) + " --seconds " + c.seconds);
        ASSERT_EQ(r.status, 0) << r.errors;
        const std::string wav = read_file(dir + "/v.wav");
        ASSERT_EQ(static_cast<std::int64_t>(wav.size()), 44 + c.sound_bytes);
        const std::vector<unsigned char> want = decoded_soundtrack(c.sound_bytes);
        ASSERT_EQ(want.size(), static_cast<std::size_t>(c.sound_bytes));
        EXPECT_TRUE(std::memcmp(wav.data() + 44, want.data(), want.size()) == 0);
        const std::string video = read_file(dir + "/v.y4m");
        const std::size_t header = video.find('\n') + 1;
        EXPECT_EQ(static_cast<std::int64_t>(video.size() - header),
                  c.frames * (6 + 320 * 240 * 3 / 2));
    }
}

TEST_F(CaptureRun, FailuresSayWhatWentWrong) {
    struct failure_case {
        std::string args;
        std::string env;
        const char *message;
        int status;
        bool in_empty_dir; // no data/ there
    };
    const failure_case cases[] = {
        {"", "", "cannot read the length of data/ulvo.mp3", 1, true},
        // The show's own fatal error, whose message box has no screen to go to.
        {"--seconds 1 --output x.y4m", "", "the show stopped: fuck off!", 1, true},
        {"--frames 3", "", "unknown argument --frames", 2, false},
        {"--mp4 x.mp4 --seconds 1", "PATH=/nonexistent", "--mp4 needs ffmpeg", 2, false},
        {"--seconds 1 --output /nonexistent/x.y4m", "", "cannot write /nonexistent", 1, false},
        {"--seconds 1 --png /nonexistent/frames", "", "cannot make the folder", 1, false},
    };
    for (const failure_case &c : cases) {
        SCOPED_TRACE(c.args);
        const run_result r = run_capture(c.args, c.in_empty_dir ? dir : source_dir, c.env);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.errors.find(c.message), std::string::npos) << r.errors;
    }
}

TEST_F(CaptureRun, Mp4ThroughFfmpeg) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed; --mp4 is optional";
    const run_result r = run_capture("--mp4 '" + dir + "/show.mp4' --seconds 2 --scale 1");
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_GT(std::filesystem::file_size(dir + "/show.mp4"), 1000u);
    // Only the MP4 is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
        return;
    const std::string info = dir + "/info.txt";
    ASSERT_EQ(std::system(("ffprobe -v error -show_entries stream=codec_name,width,height "
                           "-show_entries format=duration -of default=nw=1 '" +
                           dir + "/show.mp4' > '" + info + "'")
                              .c_str()),
              0);
    const std::string text = read_file(info);
    EXPECT_NE(text.find("codec_name=h264"), std::string::npos) << text;
    EXPECT_NE(text.find("codec_name=aac"), std::string::npos) << text;
    EXPECT_NE(text.find("width=320"), std::string::npos) << text;
    EXPECT_NE(text.find("height=240"), std::string::npos) << text;
    const std::size_t at = text.find("duration=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::atof(text.c_str() + at + 9), 2.0, 0.1);
}

} // namespace
