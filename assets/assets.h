#pragma once
// Data files from the data/ folder, and pictures decoded from them into 32-bit pixels.

#include <cstdint>

struct data_file {
    std::int32_t size;
    unsigned char *bytes;
};

// The whole of data/<name>, or null.
data_file *load_data_file(const char *name);
// Returns 0.
int free_data_file(data_file *file);

// Decodes data/<name> into a std::malloc block of width x height pixels 0x00RRGGBB, rows
// top first, rendered at the screen's current depth. 1 on success; 0 on failure, with the
// outputs untouched when the file cannot be read and set to null and 0 otherwise.
// out_width and out_height may be null.
int load_image(const char *name, std::uint32_t **out_pixels, int *out_width, int *out_height);
