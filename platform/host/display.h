#pragma once
// The display half of a host: what actually shows pixels and reads input. Exactly one
// host is linked into a program (platform/host/sdl for ulvo, platform/host/headless for
// tests); it defines host_display. The emulated Win32 and DirectDraw layer calls only this,
// and speaks to it in the host's own vocabulary below, never in Win32 values.

// A rectangle in a window's client area.
struct host_rect {
    int x, y, w, h;
};

// Pixels as the emulated adapter holds them: rows of `pitch` bytes, at 32 (x8r8g8b8),
// 24 (b, g, r bytes), 16 (5-6-5), 15 (5-5-5) or 8 (palette-indexed) bits per pixel.
struct host_frame {
    const void *pixels;
    int width, height, pitch, bits;
    unsigned long size; // bytes readable from pixels: whole rows, except perhaps the last
};

// The keys a host reports. Letters, digits and function keys are runs of consecutive
// values, so that host_key_a + 2 is C.
enum host_key {
    host_key_none = 0,
    host_key_escape,
    host_key_return,
    host_key_space,
    host_key_tab,
    host_key_backspace,
    host_key_left,
    host_key_up,
    host_key_right,
    host_key_down,
    host_key_shift,
    host_key_control,
    host_key_alt,
    host_key_0 = 0x100,  // to host_key_0 + 9
    host_key_a = 0x200,  // to host_key_a + 25
    host_key_f1 = 0x300, // to host_key_f1 + 11
};

enum host_event_type {
    host_event_close = 1, // the viewer asks to close the window (close box, Alt+F4)
    host_event_focus,     // value 1: the window became the active one; 0: it lost that
    host_event_expose,    // the window's contents must be painted again
    host_event_key,       // value: a host_key; down: 1 pressed, 0 released
};

struct host_event {
    int type;
    int window;
    int value;
    int down;
};

enum host_window_flags {
    host_window_decorated = 1,     // title bar and frame, resizable by the viewer
    host_window_covers_screen = 2, // a borderless window over the whole display mode
};

// What a message box says by its look.
enum host_box_kind {
    host_box_plain,
    host_box_information,
    host_box_question,
    host_box_warning,
    host_box_error,
};

struct host_display_api {
    // The desktop's size and depth, as the adapter reports it before any mode change.
    void (*desktop_mode)(int *width, int *height, int *bits);
    // Whether the adapter can show a display mode of that size and depth.
    int (*accepts_mode)(int width, int height, int bits);

    // A window whose client area is at (x, y) on the screen and w x h; returns its id, or 0.
    int (*window_open)(const char *title, int x, int y, int w, int h, int flags);
    void (*window_close)(int window);
    // Where the client area is on the screen now, and its size.
    void (*window_client)(int window, host_rect *client);
    // Exclusive full screen at the current display mode (on 1), or back to a window (on 0).
    void (*window_fullscreen)(int window, int on);
    // Shows a frame: full screen when dst is null, else stretched into dst of the client
    // area. Returns once the display can take the next frame (the vertical blank).
    void (*present)(int window, const host_frame *frame, const host_rect *dst);

    // The next pending event; 0 when there is none.
    int (*poll_event)(host_event *event);
    void (*show_cursor)(int visible);
    // A window asked for the screen saver (power 0) or for the monitor to power down (1).
    void (*screen_saver)(int power);
    // A modal message box with one OK button; caption may be null. Returns once the viewer
    // has answered it (or at once where no box can be shown).
    void (*message_box)(int window, const char *text, const char *caption, host_box_kind kind);
};

extern const host_display_api host_display;
