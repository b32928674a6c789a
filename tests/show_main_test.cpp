// The whole show on the headless host, clocked by the virtual audio device: what it
// presents frame by frame, how it ends, and how each failure ends it.

#include "show/show.h"

#include "platform/audio/reset.h"
#include "platform/bass.h"
#include "platform/winapi.h"
#include "platform/host/headless/audio_control.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/counts.h"
#include "platform/win32/faults.h"
#include "tests/show_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t second = 176400;
constexpr int odd_picture = 3; // written at 640x480, so the show must fit it

// The generator as the show must draw from it, followed here independently.
struct expected_rand {
    std::uint32_t x = 1;
    std::uint32_t next() {
        x = x * 214013u + 2531011u;
        return (x >> 16) & 0x7FFF;
    }
};

std::string make_folder(const show_data_options &options) {
    char name[] = "/tmp/ulvo_show_XXXXXX";
    if (!mkdtemp(name))
        std::abort();
    write_show_data(name, options);
    return name;
}

const std::string &show_folder() {
    static const std::string folder = make_folder({.odd_sized_picture = odd_picture});
    return folder;
}

std::vector<std::uint32_t> masked(const std::uint32_t *pixels) {
    std::vector<std::uint32_t> frame(pixels, pixels + frame_pixels);
    for (std::uint32_t &p : frame)
        p &= 0x00FFFFFF;
    return frame;
}

// The hook sees every frame; keeping them all as well would only cost memory.
headless_config no_kept_frames() {
    headless_config config = headless_default_config();
    config.keep_frames = false;
    return config;
}

// Runs show_main from a folder, calling `on_frame` with each presented frame's index and
// pixels (0x00RRGGBB); it moves the clock and injects input for the frames after it.
struct show_run {
    std::function<void(int, const std::uint32_t *)> on_frame;
    int frames = 0;
    int locks = 0;
    int result = -1;

    void run(const std::string &folder) {
        if (chdir(folder.c_str()) != 0)
            std::abort();
        // The program starts once per process; here it starts once per test.
        show_rand_state = 1;
        std::memset(work_frame, 0, sizeof work_frame);
        headless_configure(no_kept_frames());
        headless_reset();
        headless_set_present_hook(
            [](const headless_frame &frame, void *user) {
                // The show's own frames come once the music plays (before, the display
                // presents its cleared buffers while it opens), each converted after a lock;
                // a repaint flips what is there without one.
                auto *self = static_cast<show_run *>(user);
                const int locks = win32_ddraw_count().locks;
                if (headless_audio_is_running() && locks != self->locks)
                    self->on_frame(self->frames++, frame.rgb.data());
                self->locks = locks;
            },
            this);
        result = show_main();
        headless_set_present_hook(nullptr, nullptr);
        bass_free_all();
        // Let go of Escape for the next run, and let the key state see it.
        headless_escape(false);
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            ;
        GetAsyncKeyState(VK_ESCAPE);
    }
    ~show_run() {
        for (std::uint32_t *&picture : image_table) {
            std::free(picture);
            picture = nullptr;
        }
    }
};

TEST(ShowMain, FramesFollowTheTimelineFromTheMusicClock) {
    // The position each frame is composed at; the clock moves between frames.
    const std::vector<std::int64_t> positions = {0,
                                                 0,
                                                 second / 2,
                                                 15 * second - 4,
                                                 15 * second + 4,
                                                 15 * second + 4,
                                                 16 * second,
                                                 29 * second + 100,
                                                 54 * second,
                                                 54 * second + 800,
                                                 55 * second,
                                                 55 * second + 8,
                                                 67 * second,
                                                 67 * second + 4,
                                                 68 * second,
                                                 68 * second,
                                                 69 * second,
                                                 70 * second};
    const int pictures[] = {-1, -1, -1, -1, 15, 15, 16, 0, 25, 25, 26, 26, 9, 9};

    std::vector<std::vector<std::uint32_t>> presented;
    show_run show;
    show.on_frame = [&](int index, const std::uint32_t *frame) {
        presented.push_back(masked(frame));
        if (index + 1 < static_cast<int>(positions.size())) {
            // Where the position stays, the clock does not move at all.
            const std::int64_t step = positions[index + 1] - positions[index];
            if (step > 0)
                headless_audio_advance(static_cast<std::size_t>(step));
        } else {
            headless_escape(true);
        }
    };
    show.run(show_folder());
    ASSERT_EQ(show.result, 0);
    ASSERT_EQ(presented.size(), positions.size());

    // A picture of another size was fitted whole into the frame, centred on black.
    const std::uint32_t *odd = image_table[odd_picture];
    EXPECT_EQ(odd[100 * frame_width + 0] & 0x00FFFFFF, 0u);
    EXPECT_EQ(odd[100 * frame_width + 319] & 0x00FFFFFF, 0u);
    EXPECT_NEAR(static_cast<int>(odd[100 * frame_width + 160] >> 16 & 0xFF), 250, 4);

    expected_rand rand;
    std::vector<std::uint32_t> previous(frame_pixels, 0), scratch(frame_pixels);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + " at " + std::to_string(positions[i]));
        std::vector<std::uint32_t> expected;
        const show_phase phase = timeline_phase(positions[i]);
        if (phase == phase_title) {
            expected = masked(image_table[title_slot]);
        } else if (phase == phase_strobe) {
            expected = masked(image_table[rand.next() % 29]);
        } else {
            // By hand from the frame before: towards the picture of this second, a noisy
            // copy, noise on the frame too in the double-noise phase, the copy mixed back.
            ASSERT_LT(i, std::size(pictures));
            ASSERT_EQ(phase, i >= 10 ? phase_double_noise : phase_fade);
            expected = previous;
            blend_frame(expected.data(), image_table[pictures[i]], frame_pixels, 10);
            scratch = expected;
            noise_frame(scratch.data(), rand.next());
            if (phase == phase_double_noise)
                noise_frame(expected.data(), rand.next());
            blend_frame(expected.data(), scratch.data(), frame_pixels, 20);
        }
        EXPECT_TRUE(presented[i] == expected);
        previous = presented[i];
    }
}

TEST(ShowMain, EscapeHeldAtTheFirstFrameEndsAfterIt) {
    show_run show;
    show.on_frame = [](int, const std::uint32_t *) { headless_escape(true); };
    show.run(show_folder());
    EXPECT_EQ(show.result, 0);
    EXPECT_EQ(show.frames, 1);
}

TEST(ShowMain, CloseRequestEndsIt) {
    show_run show;
    show.on_frame = [](int index, const std::uint32_t *) {
        if (index == 2)
            headless_request_close();
    };
    show.run(show_folder());
    EXPECT_EQ(show.result, 0);
    EXPECT_EQ(show.frames, 3);
}

// The failures end the process; what it showed is reported on the way out, where the
// death test can read it.
struct failure_case {
    const char *name;
    std::function<void()> arrange;
    const char *expected; // regular expression over the report
};

void report_at_exit() {
    std::string loaded;
    for (int i = 0; i < image_count; ++i)
        loaded += image_table[i] ? '1' : '0';
    for (const headless_message_box &box : headless_message_boxes())
        std::fprintf(stderr, "box text=[%s] caption=%s kind=%d\n", box.text.c_str(),
                     box.caption_null ? "null" : "set", static_cast<int>(box.kind));
    const headless_window_state window = headless_window();
    std::fprintf(stderr, "display open=%d fullscreen=%d %dx%d\n", window.open ? 1 : 0,
                 window.fullscreen ? 1 : 0, window.open ? window.w : 0, window.open ? window.h : 0);
    std::fprintf(stderr, "audio open=%d running=%d loaded=%s\n", headless_audio_is_open() ? 1 : 0,
                 headless_audio_is_running() ? 1 : 0, loaded.c_str());
}

TEST(ShowMainDeathTest, EachFailureShowsItsTextAndExitsWithOne) {
    static const std::string missing = make_folder({.music_seconds = 1, .missing_picture = 17});
    const failure_case cases[] = {
        {"no display", [] { win32_fail_always(win32_fault::load_ddraw, true); },
         "^box text=\\[fuckin' looser\\] caption=null kind=0\n"
         "display open=0 fullscreen=0 0x0\n"
         "audio open=0 running=0 loaded=0{30}\n$"},
        {"no audio output", [] { headless_audio_set_available(false); },
         "^box text=\\[could not init bass\\] caption=null kind=0\n"
         "display open=1 fullscreen=1 320x200\n"
         "audio open=0 running=0 loaded=0{30}\n$"},
        {"missing 17.jpg",
         [] {
             if (chdir(missing.c_str()) != 0)
                 std::abort();
         },
         "^box text=\\[fuck off!\\] caption=null kind=0\n"
         "display open=1 fullscreen=1 320x200\n"
         "audio open=1 running=0 loaded=1{17}0{12}1\n$"},
    };
    // The audio library closes its device from an exit handler that it registers on its first
    // BASS_Init; registered now, it runs after the report, which sees the device as it was.
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    bass_free_all();
    for (const failure_case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                if (chdir(show_folder().c_str()) != 0)
                    std::abort();
                headless_configure(headless_default_config());
                headless_reset();
                c.arrange();
                std::atexit(report_at_exit);
                show_main();
                std::fprintf(stderr, "show_main returned\n");
            },
            testing::ExitedWithCode(1), c.expected);
    }
}

} // namespace
