#pragma once
// The frame-buffer display: one window and one display of a given size per process.
// Frames are width x height pixels 0x00RRGGBB, top row first, rows without gaps.

#include <cstdint>

// Opens the display; non-zero fullscreen takes over the screen, zero opens a window.
// While the full-screen display is inactive (another application has the screen),
// fb_update draws nothing when fullscreen is exactly 1; with any other non-zero value it
// goes on calling the lost surfaces, whose lock fails, so it writes nothing either.
// Returns 1 on success, 0 on failure.
int fb_open(const char *title, int width, int height, int fullscreen);
// Presents one frame.
void fb_update(const std::uint32_t *pixels);
// Runs the window's messages; non-zero when the caller should stop (Escape, or a quit).
int fb_pump();
void fb_close();
