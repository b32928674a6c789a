#pragma once
// The display library's insides, for its own sources, its tests and its benchmarks.

#include "fb/fb.h"
#include "platform/winapi.h"

#include <cstdint>

// Converts one row of frame pixels (0x00RRGGBB) into the display's format.
typedef void (*pixel_converter)(void *dst, const std::uint32_t *src, int count);

struct fb_state_record {
    std::int32_t width;
    std::int32_t height;
    std::int32_t fullscreen;
    std::int32_t active;
    HINSTANCE instance;
    HMODULE ddraw_module;
    LPDIRECTDRAW ddraw;
    HWND window;
    LPDIRECTDRAWSURFACE primary;
    LPDIRECTDRAWSURFACE back;
    LPDIRECTDRAWCLIPPER clipper;
    pixel_converter converter;
};

extern fb_state_record fb_state;

LRESULT CALLBACK fb_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
pixel_converter fb_select_converter(int bit_count);

void copy_pixels32(void *dst, const std::uint32_t *src, int count);
void convert_rgb888(void *dst, const std::uint32_t *src, int count);
void convert_rgb565(void *dst, const std::uint32_t *src, int count);
void convert_rgb555(void *dst, const std::uint32_t *src, int count);
