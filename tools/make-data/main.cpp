// make-data: writes the default show into a folder: ulvo.gif, 00.jpg..28.jpg, ulvo.mp3.
// Usage: make-data OUT_DIR [--wav FILE]
// The output is the same byte for byte on every run and build type, so the committed
// data/ can be checked against it.
#include "tools/make-data/music.h"
#include "tools/make-data/pictures.h"
#include "tools/make-data/writers.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--wav") == 0)) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--wav FILE]\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    std::vector<std::uint8_t> rgb;

    md::draw_title(rgb);
    if (!md::write_gif(dir + "ulvo.gif", rgb, md::picture_width, md::picture_height)) {
        std::fprintf(stderr, "make-data: cannot write %sulvo.gif\n", dir.c_str());
        return 1;
    }
    for (int i = 0; i < md::picture_count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02i.jpg", i);
        md::draw_picture(i, rgb);
        if (!md::write_jpeg(dir + name, rgb, md::picture_width, md::picture_height)) {
            std::fprintf(stderr, "make-data: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }

    std::vector<std::int16_t> pcm;
    md::loudness stats{};
    md::make_music(pcm, stats);
    if (!md::write_mp3(dir + "ulvo.mp3", pcm)) {
        std::fprintf(stderr, "make-data: cannot write %sulvo.mp3\n", dir.c_str());
        return 1;
    }
    if (argc == 4 && !md::write_wav(argv[3], pcm)) {
        std::fprintf(stderr, "make-data: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("music: %.1f s, peak %.2f dBFS, RMS %.2f dBFS, loudest 3 s %.2f dBFS, %.1f LUFS, "
                "limiter at most %.2f dB\n",
                (double)pcm.size() / 2 / md::sample_rate, stats.peak_db, stats.rms_db,
                stats.loudest_db, stats.lufs, stats.limited_db);
    return 0;
}
