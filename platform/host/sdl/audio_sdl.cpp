// SDL's audio output, where no sound server answers: SDL's default audio device, with SDL
// converting to whatever the hardware takes, so the callback always sees 44100 Hz stereo
// s16. SDL cannot say what it has played; its buffer is the latency it is known to add.
#include "platform/host/sdl/audio_outputs.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

// 1024 frames (4096 bytes, 23 ms) per callback: the position is interpolated between
// callbacks, so a smaller buffer would buy only a nearer sound, at the risk of drop-outs
// while the show's thread decodes pictures.
constexpr Uint16 buffer_frames = 1024;

SDL_AudioDeviceID device = 0;
std::atomic<std::uint64_t> buffer_bytes{0};
host_audio_fill fill_callback = nullptr;
void *fill_user = nullptr;

void SDLCALL pull(void *, Uint8 *out, int bytes) {
    fill_callback(fill_user, out, static_cast<std::size_t>(bytes));
}

// SDL's drivers but its PulseAudio one, and those it never picks by itself (dummy, disk),
// as a list for SDL_HINT_AUDIODRIVER. This output plays only where no sound server answered,
// and there SDL's PulseAudio driver could play only by starting one (autospawn).
std::string drivers_without_a_server() {
    std::string list;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
        const std::string name = SDL_GetAudioDriver(i);
        if (name == "pulseaudio" || name == "dummy" || name == "disk")
            continue;
        list += (list.empty() ? "" : ",") + name;
    }
    return list;
}

int init_audio() {
    const char *chosen = std::getenv("SDL_AUDIODRIVER");
    if (chosen && *chosen) // the viewer's (or a test's) choice, as SDL documents it
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    const std::string drivers = drivers_without_a_server();
    if (drivers.empty())
        return 0;
    SDL_SetHint(SDL_HINT_AUDIODRIVER, drivers.c_str());
    const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return ok;
}

int sdl_open(host_audio_fill fill, void *user) {
    if (device != 0)
        return 1;
    if (!init_audio())
        return 0;
    fill_callback = fill;
    fill_user = user;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = buffer_frames;
    want.callback = pull;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to the device's own format behind the callback.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    // What a callback hands is heard once the buffer before it has played out.
    buffer_bytes = std::uint64_t{have.samples} * 4;
    return 1;
}

void sdl_close() {
    if (device == 0)
        return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void sdl_start() {
    if (device != 0)
        SDL_PauseAudioDevice(device, 0);
}

void sdl_pause() {
    if (device != 0)
        SDL_PauseAudioDevice(device, 1);
}

void sdl_lock() {
    if (device != 0)
        SDL_LockAudioDevice(device);
}

void sdl_unlock() {
    if (device != 0)
        SDL_UnlockAudioDevice(device);
}

std::uint64_t sdl_clock_frequency() {
    return native_audio_clock_frequency;
}

host_audio_timing sdl_timing() {
    return {.latency = buffer_bytes};
}

} // namespace

const host_audio_api sdl_audio_output = {
    .open = sdl_open,
    .close = sdl_close,
    .start = sdl_start,
    .pause = sdl_pause,
    .lock = sdl_lock,
    .unlock = sdl_unlock,
    .clock = native_audio_clock,
    .clock_frequency = sdl_clock_frequency,
    .timing = sdl_timing,
};
