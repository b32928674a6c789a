// The program: start-up in a fixed order, the main loop clocked by the music, the fatal exit.

#include "show/show.h"

#include "assets/assets.h"
#include "assets/fit.h"
#include "fb/fb.h"
#include "platform/bass.h"
#include "platform/winapi.h"

#include <cstdio>
#include <cstdlib>

namespace {

HSTREAM music;

// Every table entry is read as a whole 320x200 frame, so a picture of another size is
// fitted into one as it is loaded.
void load_picture(const char *name, int slot) {
    std::uint32_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    if (!load_image(name, &pixels, &width, &height))
        fatal_error("fuck off!");
    std::uint32_t *frame = fit_picture(pixels, width, height, frame_width, frame_height);
    if (frame != pixels)
        std::free(pixels);
    if (!frame)
        fatal_error("fuck off!");
    image_table[slot] = frame;
}

} // namespace

void fatal_error(const char *text) {
    MessageBoxA(NULL, text, NULL, 0);
    std::exit(1);
}

int show_main() {
    if (!fb_open("Ulvo", frame_width, frame_height, 1))
        fatal_error("fuckin' looser");
    // The audio library gets the window that is in front now, which is the display's.
    if (!BASS_Init(1, 44100, 256, GetForegroundWindow(), NULL))
        fatal_error("could not init bass");
    music = BASS_StreamCreateFile(0, "data/ulvo.mp3", 0, 0, 0);

    load_picture("ulvo.gif", title_slot);
    for (int i = 0; i < 29; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02i.jpg", i);
        load_picture(name, i);
    }

    // Only now, with everything loaded, does the music start, so the clock starts at 0.
    BASS_Start();
    BASS_StreamPlay(music, 1, 0);

    for (;;) {
        const std::int64_t position = static_cast<std::int64_t>(BASS_ChannelGetPosition(music));
        compose_frame(position);
        fb_update(work_frame);
        if (fb_pump())
            break;
    }
    fb_close();
    return 0;
}
