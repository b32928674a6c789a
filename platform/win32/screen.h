#pragma once
// The emulated adapter: its current display mode and how its surfaces lie in memory.
// DirectDraw's SetDisplayMode changes the mode; GDI renders compatible bitmaps at its
// depth, as a real screen would.

struct screen_mode {
    int width;
    int height;
    int bits;
};

// The mode in force: the host's desktop mode until a mode is set.
screen_mode screen_current_mode();
void screen_set_mode(const screen_mode &mode);
// Back to the desktop's own mode, as when the exclusive owner of the display goes away.
void screen_restore_desktop_mode();

// Bytes at the end of every surface row beyond the row rounded up to 4 bytes: 0, unless a
// test sets more to check that callers go by the pitch.
int screen_pitch_padding();
void screen_set_pitch_padding(int bytes);
