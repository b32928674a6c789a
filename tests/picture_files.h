#pragma once
// Small pictures made at run time, so that each test shows its own bytes: JPEG through
// TurboJPEG, GIF through giflib, BMP written out by hand.

#include <gif_lib.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

using bytes = std::vector<unsigned char>;

// A picture of 0x00RRGGBB pixels that is not flat, so that misplaced rows or columns show.
inline std::vector<std::uint32_t> test_pattern(int width, int height) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[static_cast<std::size_t>(y) * width + x] =
                (static_cast<std::uint32_t>(x * 255 / (width > 1 ? width - 1 : 1)) << 16) |
                (static_cast<std::uint32_t>(y * 255 / (height > 1 ? height - 1 : 1)) << 8) |
                static_cast<std::uint32_t>((x + y) % 2 ? 0x40 : 0xC0);
    return p;
}

enum class jpeg_kind { baseline, progressive, greyscale };

inline bytes make_jpeg(int width, int height, jpeg_kind kind, int quality = 90) {
    const std::vector<std::uint32_t> pixels = test_pattern(width, height);
    tjhandle compressor = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const int flags = kind == jpeg_kind::progressive ? TJFLAG_PROGRESSIVE : 0;
    const int sampling = kind == jpeg_kind::greyscale ? TJSAMP_GRAY : TJSAMP_420;
    const int rc = tjCompress2(compressor, reinterpret_cast<const unsigned char *>(pixels.data()),
                               width, 0, height, TJPF_BGRX, &out, &size, sampling, quality, flags);
    bytes result;
    if (rc == 0)
        result.assign(out, out + size);
    tjFree(out);
    tjDestroy(compressor);
    return result;
}

// What TurboJPEG itself makes of a file, as frame pixels; empty when it fails.
inline std::vector<std::uint32_t> turbojpeg_decode(const bytes &jpeg, int *width, int *height) {
    tjhandle decompressor = tjInitDecompress();
    int subsampling = 0, colorspace = 0;
    std::vector<std::uint32_t> pixels;
    if (tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), width, height, &subsampling,
                            &colorspace) == 0) {
        pixels.resize(static_cast<std::size_t>(*width) * *height);
        if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(),
                          reinterpret_cast<unsigned char *>(pixels.data()), *width, 0, *height,
                          TJPF_BGRX, 0) != 0)
            pixels.clear();
        for (auto &p : pixels)
            p &= 0x00FFFFFF;
    }
    tjDestroy(decompressor);
    return pixels;
}

struct gif_frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indexes; // width * height, rows top first
    bool interlaced = false;
    int transparent = -1;
};

struct gif_spec {
    int screen_width = 0, screen_height = 0;
    std::vector<std::uint32_t> palette; // 0x00RRGGBB; padded to a power of two
    std::vector<gif_frame> frames;
};

inline int gif_write(GifFileType *gif, const GifByteType *data, int length) {
    auto *out = static_cast<bytes *>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

inline bytes make_gif(const gif_spec &spec) {
    bytes out;
    int error = 0;
    GifFileType *gif = EGifOpen(&out, gif_write, &error);
    if (!gif)
        return {};
    int colours = 2;
    while (colours < static_cast<int>(spec.palette.size()))
        colours *= 2;
    std::vector<GifColorType> table(static_cast<std::size_t>(colours), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < spec.palette.size(); ++i)
        table[i] = {static_cast<GifByteType>(spec.palette[i] >> 16),
                    static_cast<GifByteType>(spec.palette[i] >> 8),
                    static_cast<GifByteType>(spec.palette[i])};
    ColorMapObject *map = GifMakeMapObject(colours, table.data());
    // Control blocks need the 89a header, which is written with the screen descriptor.
    bool extensions = false;
    for (const gif_frame &f : spec.frames)
        extensions = extensions || f.transparent >= 0;
    EGifSetGifVersion(gif, extensions);
    bool ok = EGifPutScreenDesc(gif, spec.screen_width, spec.screen_height, 8, 0, map) == GIF_OK;
    for (const gif_frame &f : spec.frames) {
        if (f.transparent >= 0) {
            GraphicsControlBlock control = {};
            control.DisposalMode = DISPOSAL_UNSPECIFIED;
            control.TransparentColor = f.transparent;
            GifByteType ext[4];
            const std::size_t n = EGifGCBToExtension(&control, ext);
            ok = ok &&
                 EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr) ==
                       GIF_OK;
        // An interlaced image is written in the order of its four passes.
        std::vector<int> order;
        if (f.interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int r = start[pass]; r < f.height; r += step[pass])
                    order.push_back(r);
        } else {
            for (int r = 0; r < f.height; ++r)
                order.push_back(r);
        }
        for (int r : order) {
            std::vector<GifPixelType> line(
                f.indexes.begin() + static_cast<std::ptrdiff_t>(r) * f.width,
                f.indexes.begin() + static_cast<std::ptrdiff_t>(r + 1) * f.width);
            ok = ok && EGifPutLine(gif, line.data(), f.width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    return ok ? out : bytes{};
}

inline void put_le(bytes &b, std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A 24-bit BI_RGB file; rows are stored bottom first unless top_down.
inline bytes make_bmp(int width, int height, const std::vector<std::uint32_t> &pixels,
                      bool top_down = false) {
    const int row_bytes = (width * 3 + 3) & ~3;
    bytes b(54 + static_cast<std::size_t>(row_bytes) * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put_le(b, 2, static_cast<std::uint32_t>(b.size()), 4);
    put_le(b, 10, 54, 4);
    put_le(b, 14, 40, 4);
    put_le(b, 18, static_cast<std::uint32_t>(width), 4);
    put_le(b, 22, static_cast<std::uint32_t>(top_down ? -height : height), 4);
    put_le(b, 26, 1, 2);
    put_le(b, 28, 24, 2);
    put_le(b, 34, static_cast<std::uint32_t>(row_bytes * height), 4);
    for (int y = 0; y < height; ++y) {
        const int stored = top_down ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            const std::size_t at = 54 + static_cast<std::size_t>(stored) * row_bytes + 3 * x;
            b[at] = static_cast<unsigned char>(p);
            b[at + 1] = static_cast<unsigned char>(p >> 8);
            b[at + 2] = static_cast<unsigned char>(p >> 16);
        }
    }
    return b;
}

// A folder of its own with data/ inside, made the working directory for as long as it lives,
// so that tests running side by side do not meet.
class data_folder {
  public:
    data_folder() : previous_(std::filesystem::current_path()) {
        char name[] = "/tmp/ulvo-assets-XXXXXX";
        if (mkdtemp(name)) {
            root_ = name;
            std::filesystem::create_directory(root_ / "data");
            std::filesystem::current_path(root_);
        }
    }
    ~data_folder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    data_folder(const data_folder &) = delete;
    data_folder &operator=(const data_folder &) = delete;

    bool ready() const { return !root_.empty(); }
    std::filesystem::path path(const std::string &name) const { return root_ / "data" / name; }
    bool write(const std::string &name, const bytes &content) const {
        std::FILE *f = std::fopen(path(name).c_str(), "wb");
        if (!f)
            return false;
        const bool ok =
            content.empty() || std::fwrite(content.data(), 1, content.size(), f) == content.size();
        return std::fclose(f) == 0 && ok;
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};
