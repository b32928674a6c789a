#pragma once
// The display half of a host: what actually shows pixels and reads input. Exactly one
// host is linked into a program (platform/host/sdl for ulvo, platform/host/headless for
// tests); it defines host_display. The emulated Win32 and DirectDraw layer calls only this.

struct host_display_api {
    // The desktop's size and depth, as the adapter reports it before any mode change.
    void (*desktop_mode)(int *width, int *height, int *bits);
};

extern const host_display_api host_display;
