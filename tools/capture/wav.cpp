#include "tools/capture/wav.h"

#include <algorithm>

namespace {

void put16(unsigned char *p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char *p, std::uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

} // namespace

wav_writer::wav_writer(std::FILE *file, std::uint32_t data_bytes)
    : file_(file), data_bytes_(data_bytes) {}

int wav_writer::write_header() {
    const std::uint32_t rate = 44100;
    const std::uint32_t channels = 2;
    const std::uint32_t bits = 16;
    unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    put32(h + 4, 36 + data_bytes_);
    put32(h + 16, 16); // size of the format block
    put16(h + 20, 1);  // integer PCM
    put16(h + 22, channels);
    put32(h + 24, rate);
    put32(h + 28, rate * channels * bits / 8);
    put16(h + 32, channels * bits / 8);
    put16(h + 34, bits);
    h[36] = 'd';
    h[37] = 'a';
    h[38] = 't';
    h[39] = 'a';
    put32(h + 40, data_bytes_);
    ok_ = std::fwrite(h, 1, sizeof h, file_) == sizeof h;
    return ok_;
}

int wav_writer::write(const void *bytes, std::size_t count) {
    const std::size_t room = data_bytes_ - written_;
    const std::size_t n = std::min(count, room);
    if (n > 0 && std::fwrite(bytes, 1, n, file_) != n)
        ok_ = 0;
    written_ += static_cast<std::uint32_t>(n);
    return ok_;
}

int wav_writer::finish() {
    static const unsigned char silence[4096] = {};
    while (ok_ && written_ < data_bytes_)
        write(silence, std::min<std::size_t>(sizeof silence, data_bytes_ - written_));
    return ok_;
}
