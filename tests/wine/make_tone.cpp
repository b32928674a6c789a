// Writes a sine tone as an MP3 for the Wine check of the Windows audio library:
//   make_tone OUT.mp3 RATE CHANNELS SECONDS
#include "tests/support/tone_mp3.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fputs("usage: make_tone OUT.mp3 RATE CHANNELS SECONDS\n", stderr);
        return 2;
    }
    tone_spec tone{std::atoi(argv[2]), std::atoi(argv[3]), 440, std::atof(argv[4])};
    const std::vector<unsigned char> mp3 = encode_tone_mp3(tone);
    return !mp3.empty() && write_file(argv[1], mp3) ? 0 : 1;
}
