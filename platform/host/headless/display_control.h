#pragma once
// The headless display's controls, for tests and the capture tool: choose what the emulated
// adapter offers, script input, and read back what was presented.

#include "platform/host/display.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct headless_config {
    int desktop_width = 1024;
    int desktop_height = 768;
    int desktop_bits = 32; // 32, 24, 16, 15, or 8 (palette-indexed)
    // The depths the adapter can switch a display mode to; 0 ends the list.
    std::array<int, 5> mode_bits = {32, 24, 16, 15, 8};
    // Keep every presented frame for headless_frames(); the present hook sees them anyway.
    bool keep_frames = true;
};

struct headless_frame {
    int width, height;
    int bits;                         // the surface's depth: 32, 24, 16, 15 or 8
    int pitch;                        // bytes per row in `bytes`
    std::vector<unsigned char> bytes; // the presented surface's rows, padding included
    std::vector<std::uint32_t> rgb;   // the same pixels as 0x00RRGGBB, rows without gaps
    bool fullscreen;                  // by a flip; otherwise by a blit into a window
    int dst_x, dst_y, dst_w, dst_h;   // where in the client area (full screen: the whole mode)
    int client_w, client_h;           // the window's client area at the time
};

struct headless_message_box {
    std::string text;
    std::string caption;
    bool caption_null;
    host_box_kind kind;
};

struct headless_counters {
    int screen_saver_starts, monitor_power_downs;
};

headless_config headless_default_config();
// Takes effect for everything the platform layer asks the host from now on.
void headless_configure(const headless_config &config);
// Forgets frames, counters, message boxes and pending input.
void headless_reset();

// Input, queued for the platform layer's next look at the host. They go to the most
// recently opened window that is still open.
void headless_key(host_key key, bool down);
void headless_escape(bool down);
void headless_request_close();
void headless_focus(bool gained);
// The viewer resizes the window's client area; it is exposed afterwards.
void headless_resize(int client_w, int client_h);

const std::vector<headless_frame> &headless_frames();
headless_counters headless_count();
const std::vector<headless_message_box> &headless_message_boxes();

// The state of the most recently opened window that is still open.
struct headless_window_state {
    bool open;
    std::string title;
    int x, y, w, h; // the client area on the screen
    bool decorated, fullscreen;
};
headless_window_state headless_window();
int headless_open_windows();
bool headless_cursor_visible();

// Called on every presented frame (flip or blit), before it is kept.
typedef void (*headless_present_hook)(const headless_frame &frame, void *user);
void headless_set_present_hook(headless_present_hook hook, void *user);
