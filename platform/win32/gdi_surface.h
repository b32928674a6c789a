#pragma once
// Inside the platform layer: how a picture draws into the bitmap selected into a DC.

#include "platform/win32/types.h"

#include <cstdint>

struct gdi_surface {
    unsigned char *bits;
    int width;
    int height;
    int depth; // 32, 24, 16 (5-6-5) or 15 (5-5-5); 24 and 32 store 4 bytes a pixel
    int pitch; // bytes from one row to the next
};

// The bitmap selected into a memory DC; false for any other DC.
bool gdi_dc_surface(HDC dc, gdi_surface *surface);
// Stores count frame pixels (0x00RRGGBB) at (x, y), keeping what the surface's depth can hold.
void gdi_store_pixels(const gdi_surface &surface, int x, int y, const std::uint32_t *pixels,
                      int count);
