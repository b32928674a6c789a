// The real output: SDL's default audio device, with SDL converting to whatever the
// hardware takes, so the callback always sees 44100 Hz stereo s16.
#include "platform/host/audio.h"

#include <SDL.h>

namespace {

// 1024 frames (4096 bytes, 23 ms) per callback: the position is interpolated between
// callbacks, so a smaller buffer would buy only a nearer sound, at the risk of drop-outs
// while the show's thread decodes pictures.
constexpr Uint16 buffer_frames = 1024;

SDL_AudioDeviceID device = 0;
host_audio_fill fill_callback = nullptr;
void *fill_user = nullptr;

void SDLCALL pull(void *, Uint8 *out, int bytes) {
    fill_callback(fill_user, out, static_cast<std::size_t>(bytes));
}

int sdl_open(host_audio_fill fill, void *user) {
    if (device != 0)
        return 1;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
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

std::uint64_t sdl_clock() {
    return SDL_GetPerformanceCounter();
}

std::uint64_t sdl_clock_frequency() {
    return SDL_GetPerformanceFrequency();
}

} // namespace

const host_audio_api host_audio = {
    .open = sdl_open,
    .close = sdl_close,
    .start = sdl_start,
    .pause = sdl_pause,
    .lock = sdl_lock,
    .unlock = sdl_unlock,
    .clock = sdl_clock,
    .clock_frequency = sdl_clock_frequency,
};
