// The frame-buffer display on the headless host: opening at each depth, presenting, focus,
// the window's messages and closing.
#include "fb/fb_internal.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/counts.h"
#include "platform/win32/faults.h"
#include "platform/win32/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const int W = 320;
const int H = 200;

std::vector<std::uint32_t> test_frame(std::uint32_t seed = 0) {
    std::vector<std::uint32_t> frame(W * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            frame[static_cast<std::size_t>(y * W + x)] =
                (static_cast<std::uint32_t>(x * 3 + y) & 0xFF) |
                ((static_cast<std::uint32_t>(y * 5 + seed) & 0xFF) << 8) |
                ((static_cast<std::uint32_t>(x ^ y) & 0xFF) << 16) | 0xAB000000u;
    return frame;
}

// The bytes a surface row of this depth must hold for a frame row.
std::vector<unsigned char> expected_row(int bits, const std::uint32_t *row) {
    int bytes = bits == 15 ? 2 : bits / 8;
    std::vector<unsigned char> out(static_cast<std::size_t>(W * bytes));
    fb_select_converter(bits)(out.data(), row, W);
    return out;
}

// Every row of the frame is in the presented surface, at its pitch.
void expect_presented(const headless_frame &shown, int bits,
                      const std::vector<std::uint32_t> &frame) {
    ASSERT_EQ(shown.bits, bits);
    ASSERT_EQ(shown.width, W);
    ASSERT_EQ(shown.height, H);
    for (int y = 0; y < H; ++y) {
        std::vector<unsigned char> want =
            expected_row(bits, &frame[static_cast<std::size_t>(y * W)]);
        ASSERT_EQ(std::memcmp(shown.bytes.data() + static_cast<std::size_t>(y * shown.pitch),
                              want.data(), want.size()),
                  0)
            << "row " << y;
    }
}

// Everything a test may have changed, back to what a fresh program has.
void reset_platform() {
    headless_configure(headless_default_config());
    headless_reset();
    win32_faults_clear();
    win32_ddraw_count_reset();
    screen_set_pitch_padding(0);
}

class FbDisplay : public testing::Test {
  protected:
    void SetUp() override { reset_platform(); }
    void TearDown() override {
        if (opened)
            fb_close();
        // Back to the cursor count a fresh program has, whatever the test did.
        while (ShowCursor(FALSE) >= 0) {
        }
        ShowCursor(TRUE);
        headless_escape(false);
        fb_pump();
        reset_platform();
    }
    int open(int fullscreen) {
        opened = true;
        return fb_open("Ulvo", W, H, fullscreen);
    }
    const headless_frame &last_frame() { return headless_frames().back(); }

    bool opened = false;
};

TEST_F(FbDisplay, FullScreenAt32BitsCopiesTheFrameWithItsTopByte) {
    ASSERT_EQ(open(1), 1);
    screen_mode mode = screen_current_mode();
    EXPECT_EQ(mode.width, W);
    EXPECT_EQ(mode.height, H);
    EXPECT_EQ(mode.bits, 32);
    headless_window_state window = headless_window();
    EXPECT_EQ(window.title, "Ulvo");
    EXPECT_FALSE(window.decorated);
    EXPECT_TRUE(window.fullscreen);
    EXPECT_FALSE(headless_cursor_visible());

    // The two clearing rounds leave both buffers black.
    ASSERT_EQ(headless_frames().size(), 2u);
    for (const headless_frame &f : headless_frames())
        for (std::uint32_t p : f.rgb)
            ASSERT_EQ(p, 0u);

    std::vector<std::uint32_t> frame = test_frame();
    win32_ddraw_counts before = win32_ddraw_count();
    fb_update(frame.data());
    win32_ddraw_counts after = win32_ddraw_count();
    EXPECT_EQ(after.locks - before.locks, 1);
    EXPECT_EQ(after.unlocks - before.unlocks, 1);
    EXPECT_EQ(after.flips - before.flips, 1);
    ASSERT_EQ(headless_frames().size(), 3u);
    EXPECT_TRUE(last_frame().fullscreen);
    expect_presented(last_frame(), 32, frame);
}

struct depth_case {
    const char *name;
    std::array<int, 5> accepted;
    int opens;
    int bits; // of the mode that results
};

class FbDisplayDepths : public FbDisplay, public testing::WithParamInterface<depth_case> {};

// Only 32, 24 and 16 bits are asked for, deepest first.
TEST_P(FbDisplayDepths, FullScreenFallsBackThroughTheDepths) {
    const depth_case &c = GetParam();
    headless_config config = headless_default_config();
    config.mode_bits = c.accepted;
    headless_configure(config);
    ASSERT_EQ(open(1), c.opens);
    if (c.opens) {
        EXPECT_EQ(screen_current_mode().bits, c.bits);
        std::vector<std::uint32_t> frame = test_frame();
        for (int i = 0; i < 2; ++i)
            fb_update(frame.data());
        expect_presented(last_frame(), c.bits, frame);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, FbDisplayDepths,
    testing::Values(depth_case{"all", {32, 24, 16, 15, 8}, 1, 32},
                    depth_case{"no32", {24, 16}, 1, 24}, depth_case{"only16", {16}, 1, 16},
                    depth_case{"15and8", {15, 8}, 0, 0}, depth_case{"none", {0}, 0, 0}),
    [](const testing::TestParamInfo<depth_case> &info) { return std::string(info.param.name); });

TEST_F(FbDisplay, FailsWithoutDirectDraw) {
    for (int missing = 0; missing < 2; ++missing) {
        SCOPED_TRACE(missing == 0 ? "no ddraw.dll" : "no DirectDrawCreate");
        win32_faults_clear();
        win32_fail_always(missing == 0 ? win32_fault::load_ddraw : win32_fault::direct_draw_create,
                          true);
        for (int fullscreen : {1, 0}) {
            EXPECT_EQ(open(fullscreen), 0);
            // Nothing else was made: these checks come first.
            EXPECT_EQ(headless_open_windows(), 0);
            EXPECT_EQ(win32_ddraw_count().live_objects, 0);
            fb_close();
        }
    }
}

class FbDisplayWindowed : public FbDisplay, public testing::WithParamInterface<int> {};

// The parameter is the desktop's depth; an 8-bit desktop cannot be used.
TEST_P(FbDisplayWindowed, WindowedTakesTheDesktopDepth) {
    const int desktop_bits = GetParam();
    const int opens = desktop_bits == 8 ? 0 : 1;
    headless_config config = headless_default_config();
    config.desktop_bits = desktop_bits;
    headless_configure(config);
    ASSERT_EQ(open(0), opens);
    // The desktop mode is left alone.
    EXPECT_EQ(screen_current_mode().bits, desktop_bits);
    EXPECT_EQ(screen_current_mode().width, config.desktop_width);
    if (opens) {
        headless_window_state window = headless_window();
        EXPECT_TRUE(window.decorated);
        EXPECT_FALSE(window.fullscreen);
        EXPECT_EQ(window.w, W);
        EXPECT_EQ(window.h, H);
        EXPECT_TRUE(headless_cursor_visible());
        std::vector<std::uint32_t> frame = test_frame();
        win32_ddraw_counts before = win32_ddraw_count();
        fb_update(frame.data());
        EXPECT_EQ(win32_ddraw_count().blits - before.blits, 1);
        EXPECT_EQ(win32_ddraw_count().flips, before.flips);
        EXPECT_FALSE(last_frame().fullscreen);
        EXPECT_EQ(last_frame().dst_w, W);
        EXPECT_EQ(last_frame().dst_h, H);
        expect_presented(last_frame(), desktop_bits, frame);
    }
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, FbDisplayWindowed, testing::Values(32, 24, 16, 15, 8));

class FbDisplayPitch : public FbDisplay,
                       public testing::WithParamInterface<std::tuple<int, int>> {};

// Rows are found at the surface's pitch, not at the width of a row. Parameters: full screen
// or not, and the depth.
TEST_P(FbDisplayPitch, PitchWiderThanTheRow) {
    const auto [fullscreen, bits] = GetParam();
    screen_set_pitch_padding(36);
    headless_config config = headless_default_config();
    config.mode_bits = {bits};
    config.desktop_bits = bits;
    headless_configure(config);
    ASSERT_EQ(open(fullscreen), 1);
    std::vector<std::uint32_t> frame = test_frame(7);
    fb_update(frame.data());
    const headless_frame &shown = last_frame();
    int row_bytes = W * (bits / 8);
    ASSERT_GE(shown.pitch, row_bytes + 36);
    expect_presented(shown, bits, frame);
    if (bits == 32 || !fullscreen) {
        // Neither the clearing (at most width x 4 bytes) nor the rows reached the
        // padding, which still holds what the adapter had there.
        for (int y = 0; y < H; ++y)
            for (int i = row_bytes; i < shown.pitch; ++i)
                ASSERT_EQ(shown.bytes[static_cast<std::size_t>(y * shown.pitch + i)], 0xA5)
                    << "row " << y << " byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(ModesAndDepths, FbDisplayPitch,
                         testing::Combine(testing::Values(1, 0), testing::Values(32, 24, 16)));

TEST_F(FbDisplay, FullScreenDrawsNothingWhileInactiveAndRestoresAfter) {
    ASSERT_EQ(open(1), 1);
    std::vector<std::uint32_t> frame = test_frame(1);
    fb_update(frame.data());

    headless_focus(false);
    fb_pump();
    EXPECT_EQ(fb_state.active, 0);
    EXPECT_NE(fb_state.primary->IsLost(), DD_OK);
    // The desktop's own mode is back while another application has the screen.
    EXPECT_EQ(screen_current_mode().width, 1024);
    win32_ddraw_counts before = win32_ddraw_count();
    std::size_t shown = headless_frames().size();
    fb_update(frame.data());
    EXPECT_EQ(win32_ddraw_count().locks, before.locks);
    EXPECT_EQ(win32_ddraw_count().flips, before.flips);
    EXPECT_EQ(headless_frames().size(), shown);

    headless_focus(true);
    fb_pump();
    EXPECT_EQ(fb_state.active, 1);
    EXPECT_EQ(screen_current_mode().width, W);
    std::vector<std::uint32_t> next = test_frame(2);
    fb_update(next.data());
    EXPECT_EQ(fb_state.primary->IsLost(), DD_OK);
    ASSERT_EQ(headless_frames().size(), shown + 1);
    // Restored memory holds nothing of use, so the frame must be complete by itself.
    expect_presented(last_frame(), 32, next);
}

// With fullscreen 2 the skip test (for 1 exactly) does not apply: fb_update keeps calling
// the lost surfaces, whose lock fails, and writes nothing.
TEST_F(FbDisplay, FullScreenTwoKeepsDrawingWhileInactive) {
    ASSERT_EQ(open(2), 1);
    headless_focus(false);
    fb_pump();
    EXPECT_EQ(fb_state.active, 0);
    std::vector<std::uint32_t> frame = test_frame(3);
    win32_ddraw_counts before = win32_ddraw_count();
    std::size_t shown = headless_frames().size();
    fb_update(frame.data());
    EXPECT_EQ(win32_ddraw_count().locks - before.locks, 1);
    EXPECT_EQ(win32_ddraw_count().unlocks, before.unlocks); // a failed lock is not undone
    EXPECT_EQ(win32_ddraw_count().flips - before.flips, 1);
    EXPECT_EQ(headless_frames().size(), shown); // the lost chain shows nothing

    headless_focus(true);
    fb_pump();
    fb_update(frame.data());
    ASSERT_EQ(headless_frames().size(), shown + 1);
    expect_presented(last_frame(), 32, frame);
}

TEST_F(FbDisplay, WindowedKeepsDrawingWhileInactive) {
    ASSERT_EQ(open(0), 1);
    headless_focus(false);
    EXPECT_EQ(fb_pump(), 0);
    EXPECT_EQ(fb_state.active, 0);
    std::size_t shown = headless_frames().size();
    std::vector<std::uint32_t> frame = test_frame(4);
    fb_update(frame.data());
    ASSERT_EQ(headless_frames().size(), shown + 1);
    expect_presented(last_frame(), 32, frame);
    // Escape counts wherever it was pressed.
    headless_escape(true);
    EXPECT_EQ(fb_pump(), 1);
}

TEST_F(FbDisplay, WindowedStretchesToAResizedClientArea) {
    ASSERT_EQ(open(0), 1);
    std::vector<std::uint32_t> frame = test_frame(5);
    fb_update(frame.data());
    headless_resize(800, 450);
    std::size_t shown = headless_frames().size();
    // The resize exposes the window: its paint blits what the surface holds, unconverted.
    EXPECT_EQ(fb_pump(), 0);
    ASSERT_EQ(headless_frames().size(), shown + 1);
    const headless_frame &painted = last_frame();
    EXPECT_EQ(painted.dst_x, 0);
    EXPECT_EQ(painted.dst_y, 0);
    EXPECT_EQ(painted.dst_w, 800);
    EXPECT_EQ(painted.dst_h, 450);
    EXPECT_EQ(painted.client_w, 800);
    expect_presented(painted, 32, frame);
    fb_update(frame.data());
    EXPECT_EQ(last_frame().dst_w, 800);
    EXPECT_EQ(last_frame().dst_h, 450);
}

TEST_F(FbDisplay, WindowedFailsWithoutAClipper) {
    win32_fail_always(win32_fault::create_clipper, true);
    EXPECT_EQ(open(0), 0);
    EXPECT_EQ(fb_state.clipper, nullptr);
}

struct syscommand_case {
    WPARAM command;
    LPARAM lparam;
    int screen_saver_starts;
    int monitor_power_downs;
};

// Only the exact screen-saver and monitor-power values are refused.
TEST_F(FbDisplay, RefusesScreenSaverAndMonitorPowerDown) {
    ASSERT_EQ(open(1), 1);
    const syscommand_case cases[] = {
        {0xF140, 0, 0, 0}, {0xF170, 2, 0, 0}, {0xF141, 0, 1, 0}, {0xF172, 2, 0, 1}};
    for (const syscommand_case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.command);
        headless_reset();
        EXPECT_EQ(fb_window_proc(fb_state.window, WM_SYSCOMMAND, c.command, c.lparam), 0);
        EXPECT_EQ(headless_count().screen_saver_starts, c.screen_saver_starts);
        EXPECT_EQ(headless_count().monitor_power_downs, c.monitor_power_downs);
    }
}

TEST_F(FbDisplay, CloseEndsTheSamePumpAndLeavesTheWindow) {
    for (int fullscreen : {1, 0}) {
        SCOPED_TRACE(fullscreen);
        ASSERT_EQ(open(fullscreen), 1);
        EXPECT_EQ(fb_pump(), 0);
        headless_request_close();
        EXPECT_EQ(fb_pump(), 1);
        EXPECT_EQ(headless_open_windows(), 1);
        EXPECT_TRUE(headless_window().open);
        // The quit was taken; the display still works.
        EXPECT_EQ(fb_pump(), 0);
        std::vector<std::uint32_t> frame = test_frame();
        fb_update(frame.data());
        expect_presented(last_frame(), 32, frame);
        fb_close();
    }
}

TEST_F(FbDisplay, EscapeHeldOrPressedSinceTheLastPump) {
    ASSERT_EQ(open(1), 1);
    EXPECT_EQ(fb_pump(), 0);
    headless_escape(true);
    EXPECT_EQ(fb_pump(), 1);
    EXPECT_EQ(fb_pump(), 1); // still held, nothing in the queue
    headless_escape(false);
    EXPECT_EQ(fb_pump(), 0);
    // Pressed and released between two pumps still counts once.
    headless_escape(true);
    headless_escape(false);
    EXPECT_EQ(fb_pump(), 1);
    EXPECT_EQ(fb_pump(), 0);
}

TEST_F(FbDisplay, CloseReleasesEverythingAndShowsTheCursor) {
    for (int fullscreen : {1, 0}) {
        SCOPED_TRACE(fullscreen);
        ASSERT_EQ(open(fullscreen), 1);
        std::vector<std::uint32_t> frame = test_frame();
        fb_update(frame.data());
        EXPECT_GT(win32_ddraw_count().live_objects, 0);
        fb_close();
        opened = false;
        EXPECT_EQ(fb_state.primary, nullptr);
        EXPECT_EQ(fb_state.back, nullptr);
        EXPECT_EQ(fb_state.clipper, nullptr);
        EXPECT_EQ(fb_state.ddraw, nullptr);
        EXPECT_EQ(win32_ddraw_count().live_objects, 0);
        EXPECT_EQ(headless_open_windows(), 0);
        EXPECT_TRUE(headless_cursor_visible());
        EXPECT_EQ(screen_current_mode().width, 1024);
        EXPECT_EQ(GetModuleHandleA("ddraw.dll"), nullptr);
    }
    // The class went too, so the display opens again.
    ASSERT_EQ(open(1), 1);
}

TEST_F(FbDisplay, ForegroundWindowIsTheDisplayWhileActive) {
    ASSERT_EQ(open(1), 1);
    EXPECT_EQ(GetForegroundWindow(), fb_state.window);
    headless_focus(false);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    headless_focus(true);
    EXPECT_EQ(GetForegroundWindow(), fb_state.window);
}

TEST_F(FbDisplay, MessageBoxesAreRecordedAndAnswered) {
    EXPECT_EQ(MessageBoxA(NULL, "could not open display", NULL, MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(NULL, "text", "Title", MB_OK | MB_ICONERROR), IDOK);
    const std::vector<headless_message_box> &boxes = headless_message_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "could not open display");
    EXPECT_TRUE(boxes[0].caption_null);
    EXPECT_EQ(boxes[0].kind, host_box_plain);
    EXPECT_EQ(boxes[1].caption, "Title");
    EXPECT_FALSE(boxes[1].caption_null);
    EXPECT_EQ(boxes[1].kind, host_box_error);
}

} // namespace
