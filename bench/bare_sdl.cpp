// The baseline for the presentation's processor use: a bare SDL2 program that does what
// showing the show takes and nothing else. A 320x200 streaming texture gets new pixels every
// frame and is drawn with the nearest filter straight into the 4:3 area of a full-screen
// window, SDL's vsync off, 60 frames a second paced by sleeping.
//   bare_sdl [seconds]   (default: until closed)
#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        SDL_Log("bare_sdl: %s", SDL_GetError());
        return 1;
    }
    SDL_Rect bounds = {0, 0, 640, 480};
    SDL_GetDisplayBounds(0, &bounds);
    // As large as the screen too, for a server without a window manager.
    SDL_Window *window = SDL_CreateWindow("bare_sdl", bounds.x, bounds.y, bounds.w, bounds.h,
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    SDL_Renderer *renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    if (!renderer) {
        SDL_Log("bare_sdl: %s", SDL_GetError());
        return 1;
    }
    const int width = 320, height = 200;
    SDL_Texture *texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                             SDL_TEXTUREACCESS_STREAMING, width, height);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);

    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 start = SDL_GetPerformanceCounter();
    for (Uint64 frame = 1;; ++frame) {
        SDL_Event event;
        bool quit = false;
        while (SDL_PollEvent(&event))
            quit = quit || event.type == SDL_QUIT ||
                   (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE);
        if (quit || (seconds > 0 && frame > seconds * 60))
            break;

        // New pixels every frame, at the cost of a simple effect.
        const std::uint32_t shift = static_cast<std::uint32_t>(frame) * 0x010203u;
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<std::uint32_t>(i) * 2654435761u + shift;
        SDL_UpdateTexture(texture, nullptr, pixels.data(), width * 4);

        int out_w = 0, out_h = 0;
        SDL_GetRendererOutputSize(renderer, &out_w, &out_h);
        SDL_Rect target = {0, 0, out_h * 4 / 3, out_h};
        if (target.w > out_w)
            target = {0, 0, out_w, out_w * 3 / 4};
        target.x = (out_w - target.w) / 2;
        target.y = (out_h - target.h) / 2;
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, &target);
        SDL_RenderPresent(renderer);

        // Frame n is due at n/60 s from the start.
        const Uint64 due = start + frame * frequency / 60;
        const Uint64 now = SDL_GetPerformanceCounter();
        if (due > now)
            SDL_Delay(static_cast<Uint32>((due - now) * 1000 / frequency));
    }
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
