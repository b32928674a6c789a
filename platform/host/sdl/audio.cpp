// The native host's sound: the sound server through libpulse where one answers, SDL's audio
// output otherwise, or where SDL_AUDIODRIVER names one of SDL's drivers (as SDL documents
// it, that variable chooses the driver that plays; tests set it to "dummy").
#include "platform/host/sdl/audio_outputs.h"

#include <cstdlib>
#include <ctime>
#include <initializer_list>

namespace {

const host_audio_api *chosen = nullptr;

int choose_and_open(host_audio_fill fill, void *user) {
    if (chosen)
        return 1;
    const char *driver = std::getenv("SDL_AUDIODRIVER");
    const bool sdl_asked = driver && *driver;
    for (const host_audio_api *output : {&pulse_audio_output, &sdl_audio_output}) {
        if (sdl_asked && output == &pulse_audio_output)
            continue;
        if (output->open(fill, user)) {
            chosen = output;
            return 1;
        }
    }
    return 0;
}

void close_chosen() {
    if (chosen)
        chosen->close();
    chosen = nullptr;
}

void start_chosen() {
    if (chosen)
        chosen->start();
}

void pause_chosen() {
    if (chosen)
        chosen->pause();
}

void lock_chosen() {
    if (chosen)
        chosen->lock();
}

void unlock_chosen() {
    if (chosen)
        chosen->unlock();
}

std::uint64_t clock_frequency() {
    return native_audio_clock_frequency;
}

host_audio_timing timing_of_chosen() {
    return chosen ? chosen->timing() : host_audio_timing{};
}

} // namespace

std::uint64_t native_audio_clock() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * native_audio_clock_frequency +
           static_cast<std::uint64_t>(now.tv_nsec);
}

const host_audio_api host_audio = {
    .open = choose_and_open,
    .close = close_chosen,
    .start = start_chosen,
    .pause = pause_chosen,
    .lock = lock_chosen,
    .unlock = unlock_chosen,
    .clock = native_audio_clock,
    .clock_frequency = clock_frequency,
    .timing = timing_of_chosen,
};
