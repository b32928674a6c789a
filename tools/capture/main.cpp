// ulvo-capture: runs the show on the headless host and records it exactly. The show's
// clock is the virtual audio device, which moves only when a frame has been recorded, so
// frame n is always composed at the position of frame n, however long recording it takes.
#include "platform/host/headless/audio_control.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/counts.h"
#include "show/show.h"
#include "tools/capture/options.h"
#include "tools/capture/recorder.h"
#include "tools/capture/soundtrack.h"
#include "tools/capture/timing.h"

#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

recorder capture;
bool show_returned = false;
int locks_seen = 0;

// Every presented frame comes here. Only the flips that follow a fresh frame of the show's
// loop are its frames: the clearing flips of start-up come before the music runs, and a
// repaint flips without writing a frame first.
void on_present(const headless_frame &frame, void *) {
    const int locks = win32_ddraw_count().locks;
    const bool fresh = locks != locks_seen;
    locks_seen = locks;
    if (!fresh || !headless_audio_is_running())
        return;
    if (capture.done()) {
        headless_escape(true);
        return;
    }
    if (frame.width != frame_width || frame.height != frame_height) {
        std::fprintf(stderr, "ulvo-capture: the show presented a %dx%d frame\n", frame.width,
                     frame.height);
        std::exit(1);
    }
    // Play the sound up to the next frame's position, which the show reads next.
    const std::int64_t play = capture.frame(frame.rgb.data());
    if (play > 0)
        headless_audio_advance(static_cast<std::size_t>(play));
    // After the last frame the viewer presses Escape, and the show ends as it always does.
    if (capture.done())
        headless_escape(true);
}

void on_sound(void *, const unsigned char *bytes, std::size_t count) {
    capture.sound(bytes, count);
}

// The show ends through fatal_error with exit(1); its message box went nowhere visible.
void report_fatal_error() {
    if (show_returned)
        return;
    for (const headless_message_box &box : headless_message_boxes())
        std::fprintf(stderr, "ulvo-capture: the show stopped: %s\n", box.text.c_str());
}

} // namespace

int main(int argc, char **argv) {
    capture_options options;
    std::string error;
    if (!parse_options(argc, argv, &options, &error)) {
        std::fprintf(stderr, "ulvo-capture: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (options.mode == capture_mode::mp4 && find_program("ffmpeg").empty()) {
        std::fprintf(stderr, "ulvo-capture: --mp4 needs ffmpeg, which is not installed (on "
                             "Debian: apt-get install ffmpeg); without it, leave out --mp4 to "
                             "get the video as YUV4MPEG2 and the sound as WAV\n");
        return 2;
    }
    std::int64_t total = options.total_bytes;
    if (total < 0 && options.mode != capture_mode::still) {
        total = soundtrack_bytes("data/ulvo.mp3");
        if (total <= 0) {
            std::fprintf(stderr, "ulvo-capture: cannot read the length of data/ulvo.mp3; "
                                 "give it with --seconds\n");
            return 1;
        }
        if (total > seconds_to_bytes(max_seconds))
            total = seconds_to_bytes(max_seconds);
    }
    // Each presented frame comes in freshly allocated buffers; keep the memory they leave
    // for the next frame instead of handing it back to the system and faulting it in again.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // A write to an ffmpeg that has stopped fails, and says so, rather than ending us.
    std::signal(SIGPIPE, SIG_IGN);
    if (!capture.open(options, total))
        return 1;

    headless_config config = headless_default_config();
    config.keep_frames = false; // the recorder has them; a long show would fill the memory
    headless_configure(config);
    headless_set_present_hook(on_present, nullptr);
    headless_audio_set_sink(on_sound, nullptr);
    std::atexit(report_fatal_error);

    const int status = show_main();
    show_returned = true;
    if (!capture.finish())
        return 1;
    return status;
}
