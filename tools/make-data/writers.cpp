#include "tools/make-data/writers.h"

#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <lame/lame.h>
#include <turbojpeg.h>

namespace md {
namespace {

int write_bytes(const std::string &path, const unsigned char *bytes, std::size_t size) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    bool ok = std::fwrite(bytes, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    return ok ? 1 : 0;
}

} // namespace

int write_jpeg(const std::string &path, const std::vector<std::uint8_t> &rgb, int width,
               int height) {
    tjhandle tj = tjInitCompress();
    if (!tj)
        return 0;
    unsigned char *out = nullptr;
    unsigned long size = 0;
    // Full chroma resolution and the exact integer DCT: the strong colour edges stay
    // sharp, and the bytes are the same whichever SIMD path the library picks.
    int rc = tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_444, 92,
                         TJFLAG_ACCURATEDCT);
    int ok = rc == 0 ? write_bytes(path, out, size) : 0;
    tjFree(out);
    tjDestroy(tj);
    return ok;
}

int write_gif(const std::string &path, const std::vector<std::uint8_t> &rgb, int width,
              int height) {
    const std::size_t count = (std::size_t)width * height;
    std::vector<GifByteType> r(count), g(count), b(count), index(count);
    for (std::size_t i = 0; i < count; ++i) {
        r[i] = rgb[i * 3];
        g[i] = rgb[i * 3 + 1];
        b[i] = rgb[i * 3 + 2];
    }
    int colours = 256;
    GifColorType map[256];
    std::memset(map, 0, sizeof map);
    if (GifQuantizeBuffer(width, height, &colours, r.data(), g.data(), b.data(), index.data(),
                          map) != GIF_OK)
        return 0;
    ColorMapObject *cmap = GifMakeMapObject(256, map);
    if (!cmap)
        return 0;
    // Written through memory: giflib's own file opener makes the file private to the user.
    std::vector<unsigned char> out;
    auto sink = [](GifFileType *file, const GifByteType *bytes, int n) {
        auto *v = static_cast<std::vector<unsigned char> *>(file->UserData);
        v->insert(v->end(), bytes, bytes + n);
        return n;
    };
    int error = 0;
    GifFileType *gif = EGifOpen(&out, sink, &error);
    bool ok = gif != nullptr;
    ok = ok && EGifPutScreenDesc(gif, width, height, 8, 0, cmap) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, &index[(std::size_t)y * width], width) == GIF_OK;
    if (gif)
        ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(cmap);
    return ok ? write_bytes(path, out.data(), out.size()) : 0;
}

int write_mp3(const std::string &path, const std::vector<std::int16_t> &pcm) {
    lame_global_flags *lame = lame_init();
    if (!lame)
        return 0;
    lame_set_num_channels(lame, 2);
    lame_set_in_samplerate(lame, 44100);
    lame_set_out_samplerate(lame, 44100);
    lame_set_brate(lame, 192);
    lame_set_VBR(lame, vbr_off);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_quality(lame, 2);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return 0;
    }
    const int frames = (int)(pcm.size() / 2);
    std::vector<unsigned char> out;
    const int chunk = 4608;
    std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
    int done = 0;
    bool ok = true;
    while (ok && done < frames) {
        int n = frames - done < chunk ? frames - done : chunk;
        // lame's interleaved call takes a non-const pointer but only reads it
        int got = lame_encode_buffer_interleaved(
            lame, const_cast<short *>(pcm.data() + 2 * (std::size_t)done), n, buf.data(),
            (int)buf.size());
        ok = got >= 0;
        if (ok)
            out.insert(out.end(), buf.begin(), buf.begin() + got);
        done += n;
    }
    if (ok) {
        int got = lame_encode_flush(lame, buf.data(), (int)buf.size());
        ok = got >= 0;
        if (ok)
            out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    // The first frame is a placeholder for the Info tag, which carries the encoder delay
    // and padding so that decoders can cut them and the music stays on the show's clock.
    if (ok) {
        std::size_t tag = lame_get_lametag_frame(lame, buf.data(), buf.size());
        if (tag > 0 && tag <= out.size())
            std::memcpy(out.data(), buf.data(), tag);
    }
    lame_close(lame);
    return ok ? write_bytes(path, out.data(), out.size()) : 0;
}

int write_wav(const std::string &path, const std::vector<std::int16_t> &pcm) {
    const std::uint32_t data = (std::uint32_t)(pcm.size() * 2);
    std::vector<unsigned char> out;
    auto put32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back((unsigned char)(v >> (8 * i)));
    };
    auto put16 = [&out](std::uint32_t v) {
        out.push_back((unsigned char)v);
        out.push_back((unsigned char)(v >> 8));
    };
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(36 + data);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(2);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(data);
    for (std::int16_t s : pcm)
        put16((std::uint16_t)s);
    return write_bytes(path, out.data(), out.size());
}

} // namespace md
