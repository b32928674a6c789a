// The native set's GIF decoder: giflib, the first frame; transparent pixels and what the
// frame does not cover stay out of the picture's mask.
#include "platform/decoders/picture_file.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

struct gif_source {
    const unsigned char *bytes;
    std::size_t size;
    std::size_t offset;
};

int read_gif(GifFileType *gif, GifByteType *buffer, int length) {
    auto *source = static_cast<gif_source *>(gif->UserData);
    std::size_t n = source->size - source->offset;
    if (length < 0)
        return 0;
    if (n > static_cast<std::size_t>(length))
        n = static_cast<std::size_t>(length);
    std::memcpy(buffer, source->bytes + source->offset, n);
    source->offset += n;
    return static_cast<int>(n);
}

// Reads the first image of the file (and the control block before it) into the picture,
// which has the logical screen's size. Outside the image the picture is transparent.
bool read_first_gif_frame(GifFileType *gif, decoded_picture *picture) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == TERMINATE_RECORD_TYPE)
            return false;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparent = control.TransparentColor;
            }
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return false;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif) == GIF_ERROR)
            return false;
        const GifImageDesc &image = gif->Image;
        const ColorMapObject *colours = image.ColorMap ? image.ColorMap : gif->SColorMap;
        if (!colours || image.Width <= 0 || image.Height <= 0)
            return false;
        // Some writers leave the logical screen empty; the image then gives the size.
        int width = gif->SWidth, height = gif->SHeight;
        if (width <= 0 || height <= 0) {
            width = image.Left + image.Width;
            height = image.Top + image.Height;
        }
        // Only a picture that can have holes needs a mask.
        const bool covers =
            image.Left == 0 && image.Top == 0 && image.Width >= width && image.Height >= height;
        const bool masked = !covers || transparent != NO_TRANSPARENT_COLOR;
        if (!picture_allocate(picture, width, height, masked))
            return false;

        // Indexes past the colour table are black, not a read beyond it.
        std::uint32_t palette[256] = {};
        for (int i = 0; i < colours->ColorCount && i < 256; ++i) {
            const GifColorType &c = colours->Colors[i];
            palette[i] = (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
        std::vector<GifPixelType> line;
        try {
            line.resize(static_cast<std::size_t>(image.Width));
        } catch (const std::bad_alloc &) {
            return false;
        }
        static const int pass_start[] = {0, 4, 2, 1};
        static const int pass_step[] = {8, 8, 4, 2};
        const int passes = image.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int first = image.Interlace ? pass_start[pass] : 0;
            const int step = image.Interlace ? pass_step[pass] : 1;
            for (int r = first; r < image.Height; r += step) {
                if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR)
                    return false;
                const int y = image.Top + r;
                if (y >= height)
                    continue;
                const std::size_t row = static_cast<std::size_t>(y) * width + image.Left;
                const int count = std::min(image.Width, width - image.Left);
                if (!masked) {
                    for (int c = 0; c < count; ++c)
                        picture->pixels[row + c] = palette[line[static_cast<std::size_t>(c)]];
                    continue;
                }
                for (int c = 0; c < count; ++c) {
                    const int index = line[static_cast<std::size_t>(c)];
                    if (index == transparent)
                        continue;
                    picture->pixels[row + c] = palette[index];
                    picture->opaque[row + c] = 1;
                }
            }
        }
        return true;
    }
}

} // namespace

bool decode_gif(const unsigned char *bytes, std::size_t size, const picture_header &,
                decoded_picture *picture) {
    gif_source source = {bytes, size, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&source, read_gif, &error);
    if (!gif)
        return false;
    const bool ok = read_first_gif_frame(gif, picture);
    DGifCloseFile(gif, &error);
    if (!ok)
        return false;
    // A picture without a transparent pixel draws faster without its mask.
    const bool all_opaque =
        !picture->opaque.empty() && std::all_of(picture->opaque.begin(), picture->opaque.end(),
                                                [](std::uint8_t o) { return o != 0; });
    if (all_opaque)
        picture->opaque = {};
    return true;
}
