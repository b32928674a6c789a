#include "tools/capture/soundtrack.h"

#include "tools/capture/timing.h"

#include <mpg123.h>

std::int64_t soundtrack_bytes(const char *path) {
#if MPG123_API_VERSION < 46
    if (mpg123_init() != MPG123_OK)
        return -1;
#endif
    int err = 0;
    mpg123_handle *mh = mpg123_new(nullptr, &err);
    if (!mh)
        return -1;
    std::int64_t bytes = -1;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    // Scanning reads the whole file, so the length is exact rather than guessed from
    // the first frames' bit rate.
    if (mpg123_open(mh, path) == MPG123_OK &&
        mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK && rate > 0 &&
        mpg123_scan(mh) == MPG123_OK) {
        const off_t samples = mpg123_length(mh);
        if (samples >= 0)
            bytes = (static_cast<std::int64_t>(samples) * 44100 + rate / 2) / rate *
                    bytes_per_sample_frame;
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return bytes;
}
