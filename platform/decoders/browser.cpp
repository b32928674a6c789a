// The browser's picture decoders, behind the decoders' interface: the browser decodes the
// file's bytes (createImageBitmap) into the pixels the native set gives, without colour
// management, premultiplication or turning by a JPEG's EXIF orientation. The shared checks of
// picture_file.h (format, header, limits) run first; where a browser would show a damaged
// file partly, the checks here for the end of the data make it no picture, as natively.
#include "platform/decoders/picture_file.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

// clang-format off
EM_ASYNC_JS(int, web_decode_picture, (const unsigned char *bytes, int size, int width, int height,
                                      std::uint32_t *pixels, std::uint8_t *opaque), {
    // The page may have decoded the same bytes ahead (browser.js either way).
    const file = HEAPU8.slice(bytes, bytes + size);
    const image = await (Module['decodePicture'] || ulvo_decode_picture)(file);
    if (!image || image.width !== width || image.height !== height)
        return 0;
    const data = image.data;
    const count = width * height;
    const out = HEAPU32.subarray(pixels >> 2, (pixels >> 2) + count);
    for (let i = 0, j = 0; i < count; i++, j += 4)
        out[i] = (data[j] << 16) | (data[j + 1] << 8) | data[j + 2];
    if (opaque) {
        const mask = HEAPU8.subarray(opaque, opaque + count);
        for (let i = 0; i < count; i++)
            mask[i] = data[i * 4 + 3] >= 128 ? 1 : 0;
    }
    return 1;
});
// clang-format on

namespace {

unsigned be16(const unsigned char *p) {
    return unsigned{p[0]} << 8 | p[1];
}

// Whether the JPEG's segments and scans run to its end-of-image marker within the data.
bool jpeg_complete(const unsigned char *bytes, std::size_t size) {
    std::size_t at = 2;
    bool in_scan = false;
    while (at + 1 < size) {
        if (bytes[at] != 0xFF) {
            if (!in_scan)
                return false;
            ++at;
            continue;
        }
        const unsigned char marker = bytes[at + 1];
        // Inside entropy-coded data: stuffed bytes, restart markers and fill bytes.
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0xFF) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xD9)
            return true;
        if (at + 4 > size)
            return false;
        const std::size_t length = be16(bytes + at + 2);
        if (length < 2 || length > size - at - 2)
            return false;
        at += 2 + length;
        in_scan = marker == 0xDA;
    }
    return false;
}

// Whether the GIF's first image, with every block before it, lies whole within the data.
bool gif_first_image_complete(const unsigned char *bytes, std::size_t size) {
    if (size < 13)
        return false;
    std::size_t at = 13;
    if (bytes[10] & 0x80)
        at += std::size_t{3} << ((bytes[10] & 7) + 1);
    auto skip_sub_blocks = [&]() {
        while (at < size) {
            const unsigned length = bytes[at++];
            if (length == 0)
                return true;
            at += length;
        }
        return false;
    };
    while (at < size) {
        const unsigned char kind = bytes[at++];
        if (kind == 0x21) { // an extension: its label, then sub-blocks
            ++at;
            if (!skip_sub_blocks())
                return false;
        } else if (kind == 0x2C) { // the image: descriptor, colour table, LZW size, data
            if (at + 9 > size)
                return false;
            const unsigned char flags = bytes[at + 8];
            at += 9;
            if (flags & 0x80)
                at += std::size_t{3} << ((flags & 7) + 1);
            ++at;
            return skip_sub_blocks();
        } else {
            return false;
        }
    }
    return false;
}

// A copy of the JPEG whose EXIF orientation, if it has one, says "as stored", so that the
// browser does not turn it. Natively the tag is not read at all.
std::vector<unsigned char> without_orientation(const unsigned char *bytes, std::size_t size) {
    std::vector<unsigned char> copy(bytes, bytes + size);
    std::size_t at = 2;
    while (at + 4 <= size && copy[at] == 0xFF && copy[at + 1] != 0xDA) {
        const std::size_t length = be16(&copy[at + 2]);
        if (length < 2 || length > size - at - 2)
            break;
        unsigned char *segment = &copy[at + 4];
        const std::size_t body = length - 2;
        if (copy[at + 1] == 0xE1 && body >= 14 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            unsigned char *tiff = segment + 6;
            const std::size_t tiff_size = body - 6;
            const bool little = tiff[0] == 'I';
            auto read = [&](std::size_t offset, int n) {
                std::uint32_t v = 0;
                for (int i = 0; i < n; ++i)
                    v |= std::uint32_t{tiff[offset + (little ? i : n - 1 - i)]} << (8 * i);
                return v;
            };
            const std::uint32_t ifd = read(4, 4);
            if (ifd + 2 <= tiff_size) {
                const std::uint32_t entries = read(ifd, 2);
                for (std::uint32_t e = 0; e < entries; ++e) {
                    const std::size_t entry = ifd + 2 + std::size_t{e} * 12;
                    if (entry + 12 > tiff_size)
                        break;
                    if (read(entry, 2) == 0x0112) {
                        tiff[entry + 8] = little ? 1 : 0;
                        tiff[entry + 9] = little ? 0 : 1;
                    }
                }
            }
        }
        at += 2 + length;
    }
    return copy;
}

bool browser_decode(const unsigned char *bytes, std::size_t size, const picture_header &header,
                    decoded_picture *picture, bool masked) {
    if (size > 0x7FFFFFFF || !picture_allocate(picture, header.width, header.height, masked))
        return false;
    if (!web_decode_picture(bytes, static_cast<int>(size), header.width, header.height,
                            picture->pixels, masked ? picture->opaque.data() : nullptr)) {
        picture->release();
        return false;
    }
    // A picture without a transparent pixel draws faster without its mask.
    if (masked && std::all_of(picture->opaque.begin(), picture->opaque.end(),
                              [](std::uint8_t o) { return o != 0; }))
        picture->opaque = {};
    return true;
}

} // namespace

bool decode_jpeg(const unsigned char *bytes, std::size_t size, const picture_header &header,
                 decoded_picture *picture) {
    if (!jpeg_complete(bytes, size))
        return false;
    const std::vector<unsigned char> unturned = without_orientation(bytes, size);
    return browser_decode(unturned.data(), unturned.size(), header, picture, false);
}

bool decode_gif(const unsigned char *bytes, std::size_t size, const picture_header &header,
                decoded_picture *picture) {
    return gif_first_image_complete(bytes, size) &&
           browser_decode(bytes, size, header, picture, true);
}

bool decode_bmp(const unsigned char *bytes, std::size_t size, const picture_header &header,
                decoded_picture *picture) {
    return browser_decode(bytes, size, header, picture, false);
}
