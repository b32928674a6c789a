// The real program in a real window: ulvo on its own Xvfb server with SDL's dummy audio
// driver, looked at through screenshots and driven with xdotool.

#include "tests/show_data.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A 16:9 screen, so that the show's 4:3 picture leaves black bars left and right.
constexpr int screen_width = 1280;
constexpr int screen_height = 720;
constexpr int picture_left = (screen_width - screen_height * 4 / 3) / 2; // 160
constexpr int picture_width = screen_height * 4 / 3;                     // 960

// Under the sanitizers the real program is checked for memory errors but not for leaks:
// LeakSanitizer's tracer has been seen to crash (signal 11) at the exit of this
// many-threaded SDL process. The headless show tests check the same code for leaks.
const std::string sanitizer_options = "ASAN_OPTIONS=detect_leaks=0";

pid_t spawn(const std::vector<std::string> &args, const std::vector<std::string> &env,
            const std::string &folder, int output_fd = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(127);
        if (output_fd >= 0) {
            dup2(output_fd, 2);
            close(output_fd);
        }
        for (const std::string &e : env)
            putenv(const_cast<char *>(e.c_str()));
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The exit code, or -1 if it had not ended within `limit` (it is then killed).
int wait_exit(pid_t pid, std::chrono::milliseconds limit) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > give_up) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
}

struct screenshot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    std::uint32_t at(int x, int y) const {
        const unsigned char *p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    }
};

int channel(std::uint32_t pixel, int shift) {
    return static_cast<int>(pixel >> shift & 0xFF);
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance)
            return false;
    return true;
}

class UlvoWindow : public testing::Test {
  protected:
    std::string folder;
    std::string display;
    pid_t server = -1;

    void SetUp() override {
        char name[] = "/tmp/ulvo_window_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;

        // Xvfb picks a free display number and tells it through the pipe.
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                        std::to_string(screen_width) + "x" + std::to_string(screen_height) + "x24",
                        "-nolisten", "tcp"},
                       {}, "");
        close(fds[1]);
        char number[32] = {};
        std::size_t got = 0;
        while (got < sizeof number - 1) {
            const ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
            if (n <= 0 || number[got + n - 1] == '\n') {
                got += n > 0 ? static_cast<std::size_t>(n) : 0;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        close(fds[0]);
        ASSERT_GT(got, 0u) << "Xvfb did not start";
        display = ":" + std::string(number, number + got - (number[got - 1] == '\n' ? 1 : 0));
    }

    void TearDown() override {
        if (ulvo > 0)
            wait_exit(ulvo, 0ms);
        if (server > 0) {
            kill(server, SIGTERM);
            wait_exit(server, 5000ms);
        }
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::vector<std::string> environment() const {
        return {"DISPLAY=" + display, "SDL_AUDIODRIVER=dummy", sanitizer_options};
    }

    pid_t ulvo = -1;

    void start_ulvo() { ulvo = spawn({ULVO_PROGRAM}, environment(), folder); }
    int wait_ulvo(std::chrono::milliseconds limit) {
        const int code = wait_exit(ulvo, limit);
        ulvo = -1;
        return code;
    }

    int run(const std::string &command) {
        return std::system(("export DISPLAY=" + display + "; " + command).c_str());
    }

    screenshot take_screenshot(const std::string &name) {
        const std::string path = folder + "/" + name + ".ppm";
        EXPECT_EQ(run("xwd -root -silent | convert xwd:- -depth 8 ppm:'" + path + "'"), 0);
        screenshot shot;
        std::ifstream in(path, std::ios::binary);
        // The header's fields, skipping comments (ImageMagick writes one).
        auto field = [&in]() {
            std::string token;
            while (in >> token && token[0] == '#')
                in.ignore(1 << 20, '\n');
            return token;
        };
        const std::string magic = field();
        shot.width = std::atoi(field().c_str());
        shot.height = std::atoi(field().c_str());
        field(); // maximum value: 255 at depth 8
        in.get();
        EXPECT_EQ(magic, "P6");
        shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
        in.read(reinterpret_cast<char *>(shot.rgb.data()),
                static_cast<std::streamsize>(shot.rgb.size()));
        EXPECT_TRUE(in) << "cannot read " << path;
        if (!in)
            shot.width = shot.height = 0;
        // Kept as PNG beside the build when asked for, to look at.
        if (const char *keep = std::getenv("ULVO_KEEP_SCREENSHOTS"))
            run("convert '" + path + "' '" + std::string(keep) + "/" + name + ".png'");
        return shot;
    }

    // A point of the 320x200 frame, where it lands on the screen.
    static int screen_x(int x) {
        return picture_left + (x * picture_width + picture_width / 2) / 320;
    }
    static int screen_y(int y) { return (y * screen_height + screen_height / 2) / 200; }

    // A copy of the default show where it is there, else show data of the test's own; with
    // one numbered picture left out when `missing` is one.
    void prepare_data(int missing) {
        const std::string source = ULVO_SOURCE_DIR "/data";
        if (access((source + "/ulvo.mp3").c_str(), R_OK) == 0) {
            ASSERT_EQ(std::system(("cp -r '" + source + "' '" + folder + "/'").c_str()), 0);
            if (missing >= 0) {
                char name[32];
                std::snprintf(name, sizeof name, "/data/%02i.jpg", missing);
                ASSERT_EQ(std::remove((folder + name).c_str()), 0);
            }
        } else {
            write_show_data(folder, {.music_seconds = 40, .missing_picture = missing});
        }
    }

    // The title picture as the GIF holds it (its first image), 0x00RRGGBB; empty when it is
    // not a 320x200 picture.
    std::vector<std::uint32_t> read_title() const {
        int error = 0;
        GifFileType *gif = DGifOpenFileName((folder + "/data/ulvo.gif").c_str(), &error);
        std::vector<std::uint32_t> pixels;
        if (!gif)
            return pixels;
        if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
            const SavedImage &image = gif->SavedImages[0];
            const ColorMapObject *map =
                image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
            if (map && image.ImageDesc.Width == 320 && image.ImageDesc.Height == 200) {
                for (int i = 0; i < 320 * 200; ++i) {
                    const GifColorType c = map->Colors[image.RasterBits[i] % map->ColorCount];
                    pixels.push_back(static_cast<std::uint32_t>(c.Red) << 16 | c.Green << 8 |
                                     c.Blue);
                }
            }
        }
        DGifCloseFile(gif, &error);
        return pixels;
    }

    // Of the picture's points whose neighbours have the same colour (where scaling cannot
    // blur), the share that the screen shows in that colour where the 4:3 frame puts them.
    static double title_match(const screenshot &shot, const std::vector<std::uint32_t> &picture) {
        int flat = 0, matching = 0;
        for (int y = 1; y < 199; y += 3)
            for (int x = 1; x < 319; x += 3) {
                const std::uint32_t c = picture[y * 320 + x];
                if (picture[y * 320 + x - 1] != c || picture[y * 320 + x + 1] != c ||
                    picture[(y - 1) * 320 + x] != c || picture[(y + 1) * 320 + x] != c)
                    continue;
                ++flat;
                if (near(shot.at(screen_x(x), screen_y(y)), c, 12))
                    ++matching;
            }
        return flat ? static_cast<double>(matching) / flat : 0;
    }

    // The share of the 4:3 frame's pixels that are not black.
    static double lit_fraction(const screenshot &shot) {
        int lit = 0, all = 0;
        for (int y = 0; y < screen_height; y += 4)
            for (int x = picture_left; x < picture_left + picture_width; x += 4, ++all)
                lit += shot.at(x, y) != 0;
        return static_cast<double>(lit) / all;
    }
};

TEST_F(UlvoWindow, ShowsTitleThenFadesAndEndsOnEscape) {
    prepare_data(-1);
    const std::vector<std::uint32_t> picture = read_title();
    ASSERT_EQ(picture.size(), static_cast<std::size_t>(320 * 200));
    start_ulvo();

    std::this_thread::sleep_for(4s);
    const screenshot title = take_screenshot("title");
    ASSERT_EQ(title.width, screen_width);
    // The title, 4:3, the full height, centred between black bars.
    EXPECT_GT(title_match(title, picture), 0.95);
    for (int y : {0, screen_height / 2, screen_height - 1}) {
        EXPECT_EQ(title.at(0, y), 0u);
        EXPECT_EQ(title.at(picture_left - 2, y), 0u);
        EXPECT_EQ(title.at(picture_left + picture_width + 1, y), 0u);
        EXPECT_EQ(title.at(screen_width - 1, y), 0u);
    }

    // After 20 s of music the frame has faded away from the title into the pictures.
    std::this_thread::sleep_for(18s);
    const screenshot fade = take_screenshot("fade");
    ASSERT_EQ(fade.width, screen_width);
    EXPECT_LT(title_match(fade, picture), 0.3);
    EXPECT_GT(lit_fraction(fade), 0.5);
    EXPECT_EQ(fade.at(picture_left - 2, screen_height / 2), 0u);

    EXPECT_EQ(run("xdotool key Escape"), 0);
    EXPECT_EQ(wait_ulvo(10000ms), 0);
}

TEST_F(UlvoWindow, MissingPictureShowsTheBoxOverTheDisplayAndReturnEndsIt) {
    prepare_data(5);
    start_ulvo();

    // The display is open (black, no frame yet) and the box sits on it: a block of
    // non-black pixels, smaller than the screen, around the centre. On a loaded machine the
    // pictures before the missing one take a while to load, so look again until it is up.
    screenshot box;
    int lit = 0, left = screen_width, right = 0, top = screen_height, bottom = 0;
    for (int attempt = 0; attempt < 20 && lit <= 2000; ++attempt) {
        std::this_thread::sleep_for(attempt == 0 ? 4s : 1s);
        box = take_screenshot("message");
        ASSERT_EQ(box.width, screen_width);
        lit = 0;
        left = screen_width;
        right = 0;
        top = screen_height;
        bottom = 0;
        for (int y = 0; y < box.height; ++y)
            for (int x = 0; x < box.width; ++x)
                if (box.at(x, y) != 0) {
                    ++lit;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
    }
    EXPECT_GT(lit, 2000);
    EXPECT_LT(right - left, screen_width / 2);
    EXPECT_LT(bottom - top, screen_height / 2);
    EXPECT_EQ(box.at(0, 0), 0u);
    EXPECT_EQ(box.at(screen_width - 1, screen_height - 1), 0u);
    int status = 0;
    ASSERT_EQ(waitpid(ulvo, &status, WNOHANG), 0) << "ended before the box was answered";

    // Return answers the box's one button; then the program ends with code 1. Without a
    // window manager the box does not take the focus itself: the viewer's click would, so
    // the test gives it the focus, finding the box as the window under the pointer.
    EXPECT_EQ(run("eval $(xdotool mousemove " + std::to_string((left + right) / 2) + " " +
                  std::to_string((top + bottom) / 2) +
                  " sleep 0.3 getmouselocation --shell) && xdotool windowfocus --sync $WINDOW "
                  "key Return"),
              0);
    EXPECT_EQ(wait_ulvo(10000ms), 1);
}

// Without any display the box cannot be shown: the text goes to standard error instead.
TEST(UlvoNoDisplay, TextOnStandardErrorAndExitCodeOne) {
    char name[] = "/tmp/ulvo_nodisplay_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string folder = name;
    const std::string log = folder + "/stderr.txt";
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const pid_t ulvo = spawn({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", ULVO_PROGRAM},
                             {"SDL_AUDIODRIVER=dummy", sanitizer_options}, folder, fd);
    close(fd);
    EXPECT_EQ(wait_exit(ulvo, 10000ms), 1);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("fuckin' looser"), std::string::npos) << text.str();
    std::system(("rm -rf '" + folder + "'").c_str());
}

} // namespace
