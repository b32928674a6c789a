#include "tools/capture/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// libpng reports errors by longjmp; these functions keep no object with a destructor
// alive across the jump, so everything they own is released on both paths.
int write_rows(std::FILE *file, const std::uint32_t *pixels, int width, int height, int level,
               std::uint8_t *row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_init_io(png, file);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t *in = pixels + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = static_cast<std::uint8_t>(in[x] >> 16);
            row[3 * x + 1] = static_cast<std::uint8_t>(in[x] >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(in[x]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return 1;
}

// A file that is not a PNG is an answer for the caller, not a message for the user.
void quiet_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void quiet_warning(png_structp, png_const_charp) {}

// Reads the header; the caller reads the rows after it, under a jump point of its own.
int read_header(png_structp png, png_infop info, std::FILE *file, png_uint_32 *width,
                png_uint_32 *height, int *channels) {
    if (setjmp(png_jmpbuf(png)))
        return 0;
    png_init_io(png, file);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int type = png_get_color_type(png, info);
    *channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGBA ? 4 : 0;
    return png_get_bit_depth(png, info) == 8 && *channels != 0 && *width > 0 && *height > 0 &&
           *width <= 16384 && *height <= 16384;
}

int read_body(png_structp png, png_uint_32 width, png_uint_32 height, int channels,
              std::uint8_t *row, std::uint32_t *pixels) {
    if (setjmp(png_jmpbuf(png)))
        return 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row, nullptr);
        std::uint32_t *out = pixels + static_cast<std::size_t>(y) * width;
        for (png_uint_32 x = 0; x < width; ++x) {
            const std::uint8_t *p = row + static_cast<std::size_t>(x) * channels;
            out[x] = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        }
    }
    return 1;
}

int read_rows(std::FILE *file, std::vector<std::uint32_t> *pixels, int *width, int *height) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    png_uint_32 w = 0;
    png_uint_32 h = 0;
    int channels = 0;
    int ok = info && read_header(png, info, file, &w, &h, &channels);
    if (ok) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * channels);
        pixels->assign(static_cast<std::size_t>(w) * h, 0);
        ok = read_body(png, w, h, channels, row.data(), pixels->data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (ok) {
        *width = static_cast<int>(w);
        *height = static_cast<int>(h);
    }
    return ok;
}

} // namespace

int write_png(const char *path, const std::uint32_t *pixels, int width, int height, int level) {
    std::FILE *file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "ulvo-capture: cannot write %s: %s\n", path, std::strerror(errno));
        return 0;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    int ok = write_rows(file, pixels, width, height, level, row.data());
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "ulvo-capture: cannot write %s\n", path);
    return ok;
}

int read_png(const char *path, std::vector<std::uint32_t> *pixels, int *width, int *height) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return 0;
    const int ok = read_rows(file, pixels, width, height);
    std::fclose(file);
    return ok;
}
