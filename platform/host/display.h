#pragma once
// The display half of a host: what actually shows pixels and reads input. Exactly one
// host is linked into a program (platform/host/sdl for ulvo, platform/host/headless for
// tests); it defines host_display. The emulated Win32 and DirectDraw layer calls only this.

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

enum host_event_type {
    host_event_close = 1, // the viewer asks to close the window (close box, Alt+F4)
    host_event_focus,     // value 1: the window became the active one; 0: it lost that
    host_event_expose,    // the window's contents must be painted again
    host_event_key,       // value: the virtual-key code; down: 1 pressed, 0 released
};

struct host_event {
    int type;
    int window;
    int value;
    int down;
};

// What the emulated adapter may refuse to offer.
enum host_resource {
    host_resource_ddraw_module = 1, // "ddraw.dll" can be loaded
    host_resource_ddraw_entry,      // it exports "DirectDrawCreate"
    host_resource_clipper,          // a clipper can be created
};

// Adapter activity, for a host that keeps count (the headless one does).
enum host_note {
    host_note_lock = 1,
    host_note_unlock,
    host_note_flip,
    host_note_blit,
    host_note_object_created,
    host_note_object_destroyed,
};

enum host_window_flags {
    host_window_decorated = 1,     // title bar and frame, resizable by the viewer
    host_window_covers_screen = 2, // a borderless window over the whole display mode
};

struct host_display_api {
    // The desktop's size and depth, as the adapter reports it before any mode change.
    void (*desktop_mode)(int *width, int *height, int *bits);
    // Whether the adapter can show a display mode of that size and depth.
    int (*accepts_mode)(int width, int height, int bits);
    int (*offers)(int resource);
    // Extra bytes at the end of each surface row, beyond the row rounded up to 4 bytes.
    int (*pitch_padding)();

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
    // A modal message box with one OK button; caption may be null. Returns IDOK.
    int (*message_box)(int window, const char *text, const char *caption, unsigned type);
    void (*note)(int what);
};

extern const host_display_api host_display;
