// The two frame effects and the random source of the timeline.

#include "show/show.h"

#include <cstring>

std::uint32_t show_rand_state = 1;

namespace {

// The effects run several times per frame over the whole frame. They are written once on
// vectors of `lanes` pixels and built for the widest vector unit the processor has, chosen
// when the program runs (the portable build cannot assume more than SSE2).
template <int lanes> struct pixel_vectors {
    typedef std::uint32_t pixels __attribute__((vector_size(4 * lanes)));
    typedef std::uint16_t halves __attribute__((vector_size(4 * lanes)));
};

inline std::uint32_t blend_pixel(std::uint32_t d, std::uint32_t s, std::uint32_t a) {
    // Red and blue are weighted together in one product: they sit 16 bits apart, and because
    // the weights sum to 255 no sum reaches the neighbour's bits. Green is weighted alone.
    const std::uint32_t inv = 255 - a;
    const std::uint32_t rb = (((d & 0x00FF00FF) * inv + (s & 0x00FF00FF) * a) >> 8) & 0x00FF00FF;
    const std::uint32_t g = (((d & 0x0000FF00) * inv + (s & 0x0000FF00) * a) >> 8) & 0x0000FF00;
    return rb | g;
}

// The same arithmetic on 16-bit lanes: every channel's weighted sum stays below 65536, so
// a 16-bit multiply gives the bits of the 32-bit one. Green is brought down beside the top
// byte, whose result is dropped.
template <int lanes>
[[gnu::always_inline]] inline void blend_pixels(std::uint32_t *dst, const std::uint32_t *src,
                                                int count, std::uint32_t a) {
    using pixels = typename pixel_vectors<lanes>::pixels;
    using halves = typename pixel_vectors<lanes>::halves;
    const std::uint16_t wa = static_cast<std::uint16_t>(a);
    const std::uint16_t winv = static_cast<std::uint16_t>(255 - a);
    int i = 0;
    // Several vectors in flight hide the multiplies' latency.
#pragma GCC unroll 4
    for (; i + lanes <= count; i += lanes) {
        pixels d, s;
        std::memcpy(&d, dst + i, sizeof d);
        std::memcpy(&s, src + i, sizeof s);
        const halves rb = (reinterpret_cast<halves>(d & 0x00FF00FF) * winv +
                           reinterpret_cast<halves>(s & 0x00FF00FF) * wa) >>
                          8;
        const halves gx = reinterpret_cast<halves>((d >> 8) & 0x00FF00FF) * winv +
                          reinterpret_cast<halves>((s >> 8) & 0x00FF00FF) * wa;
        const pixels out =
            reinterpret_cast<pixels>(rb) | (reinterpret_cast<pixels>(gx) & 0x0000FF00);
        std::memcpy(dst + i, &out, sizeof out);
    }
    for (; i < count; ++i)
        dst[i] = blend_pixel(dst[i], src[i], a);
}

template <int lanes>
[[gnu::always_inline]] inline void noise_pixels(std::uint32_t *frame, std::uint32_t value) {
    using pixels = typename pixel_vectors<lanes>::pixels;
    static_assert(frame_pixels % lanes == 0);
    for (int i = 0; i < frame_pixels; i += lanes) {
        pixels p;
        std::memcpy(&p, frame + i, sizeof p);
        p = (p + value) ^ value;
        std::memcpy(frame + i, &p, sizeof p);
    }
}

// 8 pixels are two SSE2 registers or one AVX2 register; 16 one AVX-512 register.
void blend_base(std::uint32_t *dst, const std::uint32_t *src, int count, std::uint32_t a) {
    blend_pixels<8>(dst, src, count, a);
}
void noise_base(std::uint32_t *frame, std::uint32_t value) {
    noise_pixels<8>(frame, value);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32) && !defined(ULVO_BASELINE_EFFECTS)
#define ULVO_WIDE_VECTORS 1
// (Windows is left out: its compilers do not align the stack for spilled wide registers.)
[[gnu::target("avx2")]] void blend_avx2(std::uint32_t *dst, const std::uint32_t *src, int count,
                                        std::uint32_t a) {
    blend_pixels<8>(dst, src, count, a);
}
[[gnu::target("avx2")]] void noise_avx2(std::uint32_t *frame, std::uint32_t value) {
    noise_pixels<8>(frame, value);
}
[[gnu::target("avx512f,avx512bw,avx512vl")]] void
blend_avx512(std::uint32_t *dst, const std::uint32_t *src, int count, std::uint32_t a) {
    blend_pixels<16>(dst, src, count, a);
}
[[gnu::target("avx512f,avx512bw,avx512vl")]] void noise_avx512(std::uint32_t *frame,
                                                               std::uint32_t value) {
    noise_pixels<16>(frame, value);
}
#endif

typedef void blend_function(std::uint32_t *, const std::uint32_t *, int, std::uint32_t);
typedef void noise_function(std::uint32_t *, std::uint32_t);

struct effect_functions {
    blend_function *blend = blend_base;
    noise_function *noise = noise_base;
    effect_functions() {
#ifdef ULVO_WIDE_VECTORS
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl")) {
            blend = blend_avx512;
            noise = noise_avx512;
        } else if (__builtin_cpu_supports("avx2")) {
            blend = blend_avx2;
            noise = noise_avx2;
        }
#endif
    }
};

const effect_functions &effects() {
    static const effect_functions chosen;
    return chosen;
}

} // namespace

void blend_frame(std::uint32_t *dst, const std::uint32_t *src, int count, int alpha) {
    effects().blend(dst, src, count, static_cast<std::uint32_t>(alpha) & 0xFF);
}

void noise_frame(std::uint32_t *frame, std::uint32_t value) {
    effects().noise(frame, value);
}

// The classic linear congruential generator with these constants; the show's look depends on
// exactly this sequence, so the platform's own generator is not used.
int show_rand() {
    show_rand_state = show_rand_state * 214013u + 2531011u;
    return static_cast<int>((show_rand_state >> 16) & 0x7FFF);
}
