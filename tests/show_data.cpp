#include "tests/show_data.h"

#include "tests/support/tone_mp3.h"

#include <gif_lib.h>
#include <turbojpeg.h>

#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

namespace {

void save_file(const std::string &path, const unsigned char *bytes, std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes, 1, size, file) != size)
        throw std::runtime_error("cannot write " + path);
    std::fclose(file);
}

void write_jpeg(const std::string &path, int width, int height, std::uint32_t colour) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = static_cast<unsigned char>(colour >> 16);
        rgb[i + 1] = static_cast<unsigned char>(colour >> 8);
        rgb[i + 2] = static_cast<unsigned char>(colour);
    }
    tjhandle handle = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95,
                    0) != 0)
        throw std::runtime_error("cannot encode " + path);
    save_file(path, jpeg, size);
    tjFree(jpeg);
    tjDestroy(handle);
}

void write_title_gif(const std::string &path) {
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif)
        throw std::runtime_error("cannot write " + path);
    const std::uint32_t colours[4] = {title_colour(0, 0), title_colour(319, 0),
                                      title_colour(0, 199), title_colour(319, 199)};
    GifColorType palette[4];
    for (int i = 0; i < 4; ++i)
        palette[i] = {static_cast<GifByteType>(colours[i] >> 16),
                      static_cast<GifByteType>(colours[i] >> 8),
                      static_cast<GifByteType>(colours[i])};
    ColorMapObject *map = GifMakeMapObject(4, palette);
    EGifPutScreenDesc(gif, 320, 200, 2, 0, map);
    EGifPutImageDesc(gif, 0, 0, 320, 200, false, nullptr);
    std::vector<GifPixelType> row(320);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x)
            row[x] = static_cast<GifPixelType>((x >= 160 ? 1 : 0) + (y >= 100 ? 2 : 0));
        EGifPutLine(gif, row.data(), 320);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

} // namespace

std::uint32_t title_colour(int x, int y) {
    static const std::uint32_t quarters[4] = {0x00E00000, 0x0000E000, 0x000000E0, 0x00E0E0E0};
    return quarters[(x >= 160 ? 1 : 0) + (y >= 100 ? 2 : 0)];
}

std::uint32_t picture_colour(int index) {
    return 0x00FA0000u | static_cast<std::uint32_t>(index * 8) << 8 |
           static_cast<std::uint32_t>(240 - index * 8);
}

void write_show_data(const std::string &folder, const show_data_options &options) {
    const std::string data = folder + "/data";
    mkdir(data.c_str(), 0755);
    write_title_gif(data + "/ulvo.gif");
    for (int i = 0; i < 29; ++i) {
        if (i == options.missing_picture)
            continue;
        char name[16];
        std::snprintf(name, sizeof name, "/%02i.jpg", i);
        const bool odd = i == options.odd_sized_picture;
        write_jpeg(data + name, odd ? 640 : 320, odd ? 480 : 200, picture_colour(i));
    }
    // A quiet tone at the output's own rate, at a low bit rate: small and quick to encode.
    const tone_spec tone = {44100, 2, 441, static_cast<double>(options.music_seconds), 32};
    if (!write_file(data + "/ulvo.mp3", encode_tone_mp3(tone)))
        throw std::runtime_error("cannot write the music");
}
