#pragma once
// Frames as PNG files (8-bit RGB, no alpha: the top byte of a frame pixel carries no colour).

#include <cstdint>
#include <vector>

// Writes width * height pixels 0x00RRGGBB to `path`; 1 on success, 0 (with a message on
// stderr) when the file cannot be written. `level` is zlib's, 1 (fast) to 9 (small).
int write_png(const char *path, const std::uint32_t *pixels, int width, int height, int level = 6);

// Reads an 8-bit RGB or RGBA PNG into pixels 0x00RRGGBB; 1 on success, 0 otherwise.
int read_png(const char *path, std::vector<std::uint32_t> *pixels, int *width, int *height);
