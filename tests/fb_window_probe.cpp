// Opens the display on the real host and shows a known frame until Escape or a close:
// red, green, blue and white quarters. Says "ready" once the frame is on the screen, and
// "active 0" or "active 1" whenever the application loses or regains the focus; each
// time it comes back, the quarters change sides (left for right). With "box" it opens full
// screen, then shows the message box of a fatal error and says "answer N" with its result.
// Usage: fb_window_probe full|window|box
#include "fb/fb_internal.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    bool box = argc == 2 && std::strcmp(argv[1], "box") == 0;
    if (argc != 2 ||
        (std::strcmp(argv[1], "full") != 0 && std::strcmp(argv[1], "window") != 0 && !box)) {
        std::fputs("usage: fb_window_probe full|window|box\n", stderr);
        return 2;
    }
    const int width = 320, height = 200;
    std::vector<std::uint32_t> frame(width * height);
    auto paint = [&](bool mirrored) {
        const std::uint32_t quarters[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int right = (x >= width / 2) != mirrored ? 1 : 0;
                frame[static_cast<std::size_t>(y * width + x)] =
                    quarters[(y >= height / 2 ? 2 : 0) + right];
            }
    };
    paint(false);
    bool mirrored = false;
    if (!fb_open("fb_window_probe", width, height, std::strcmp(argv[1], "window") != 0)) {
        std::fputs("fb_window_probe: could not open the display\n", stderr);
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    bool told = false;
    int active = fb_state.active;
    for (int frames = 0;; ++frames) {
        fb_update(frame.data());
        if (fb_pump())
            break;
        if (fb_state.active != active) {
            active = fb_state.active;
            if (active) {
                mirrored = !mirrored;
                paint(mirrored);
            }
            std::printf("active %d\n", active);
            std::fflush(stdout);
        }
        if (!told && frames == 10) {
            std::puts("ready");
            std::fflush(stdout);
            told = true;
            if (box) {
                int answer = MessageBoxA(NULL, "fb_window_probe message", NULL, MB_OK);
                std::printf("answer %d\n", answer);
                fb_close();
                return answer == IDOK ? 0 : 1;
            }
        }
        // Nobody came to end it: a failure, not a hang.
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
            fb_close();
            return 3;
        }
    }
    fb_close();
    return 0;
}
