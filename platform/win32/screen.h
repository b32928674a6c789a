#pragma once
// The emulated adapter's current display mode. DirectDraw's SetDisplayMode changes it;
// GDI renders compatible bitmaps at its depth, as a real screen would.

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
