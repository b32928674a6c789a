// The native set's JPEG decoder: TurboJPEG (libjpeg-turbo).
#include "platform/decoders/picture_file.h"

#include <turbojpeg.h>

bool decode_jpeg(const unsigned char *bytes, std::size_t size, const picture_header &header,
                 decoded_picture *picture) {
    // One decompressor for the process: creating it costs more than a small picture.
    static tjhandle decompressor = tjInitDecompress();
    if (!decompressor)
        return false;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(decompressor, bytes, size, &width, &height, &subsampling,
                            &colorspace) != 0)
        return false;
    // The library reads the same frame header as the check did; a disagreement is damage.
    if (width != header.width || height != header.height)
        return false;
    if (!picture_allocate(picture, width, height, false))
        return false;
    // Warnings count as failures too: a truncated or corrupted file is not a picture.
    return tjDecompress2(decompressor, bytes, size,
                         reinterpret_cast<unsigned char *>(picture->pixels), width, 0, height,
                         TJPF_BGRX, 0) == 0;
}
