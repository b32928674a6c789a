// Row converters from frame pixels (0x00RRGGBB) to the display's pixel formats. One pass,
// shifts and masks only; the compiler vectorises the loops, and on x86-64 ELF systems the
// loader picks the widest vector unit the processor has.
#include "fb/fb_internal.h"

#include <cstring>

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define FB_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FB_VECTOR_CLONES
#endif

namespace {

inline std::uint16_t pack565(std::uint32_t p) {
    return static_cast<std::uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) |
                                      ((p >> 3) & 0x001F));
}

inline std::uint16_t pack555(std::uint32_t p) {
    return static_cast<std::uint16_t>(((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) |
                                      ((p >> 3) & 0x001F));
}

inline void store16(unsigned char *out, std::uint16_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

} // namespace

void copy_pixels32(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    const unsigned char *in = reinterpret_cast<const unsigned char *>(src);
    int blocks = count / 16;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // 64 bytes a block through the eight MMX registers: all loads, then all stores.
    for (int b = 0; b < blocks; ++b, in += 64, out += 64) {
        __asm__ volatile("movq 0(%1), %%mm0\n\t"
                         "movq 8(%1), %%mm1\n\t"
                         "movq 16(%1), %%mm2\n\t"
                         "movq 24(%1), %%mm3\n\t"
                         "movq 32(%1), %%mm4\n\t"
                         "movq 40(%1), %%mm5\n\t"
                         "movq 48(%1), %%mm6\n\t"
                         "movq 56(%1), %%mm7\n\t"
                         "movq %%mm0, 0(%0)\n\t"
                         "movq %%mm1, 8(%0)\n\t"
                         "movq %%mm2, 16(%0)\n\t"
                         "movq %%mm3, 24(%0)\n\t"
                         "movq %%mm4, 32(%0)\n\t"
                         "movq %%mm5, 40(%0)\n\t"
                         "movq %%mm6, 48(%0)\n\t"
                         "movq %%mm7, 56(%0)\n\t"
                         :
                         : "r"(out), "r"(in)
                         : "memory", "mm0", "mm1", "mm2", "mm3", "mm4", "mm5", "mm6", "mm7");
    }
    // Leave the registers to floating point again.
    if (blocks > 0)
        __asm__ volatile("emms" ::: "memory");
#else
    // The same block shape with ordinary 8-byte words.
    for (int b = 0; b < blocks; ++b, in += 64, out += 64) {
        std::uint64_t w[8];
        for (int i = 0; i < 8; ++i)
            std::memcpy(&w[i], in + 8 * i, 8);
        for (int i = 0; i < 8; ++i)
            std::memcpy(out + 8 * i, &w[i], 8);
    }
#endif
    // A row that is not a whole number of blocks ends pixel by pixel.
    for (int i = blocks * 16; i < count; ++i, in += 4, out += 4)
        std::memcpy(out, in, 4);
}

FB_VECTOR_CLONES
void convert_rgb888(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    int i = 0;
    // Four pixels make three whole 32-bit words: no byte stores in the main loop.
    for (; i + 4 <= count; i += 4, out += 12) {
        std::uint32_t p0 = src[i], p1 = src[i + 1], p2 = src[i + 2], p3 = src[i + 3];
        std::uint32_t w[3] = {(p0 & 0x00FFFFFF) | (p1 << 24), ((p1 >> 8) & 0xFFFF) | (p2 << 16),
                              ((p2 >> 16) & 0xFF) | (p3 << 8)};
        unsigned char bytes[12];
        for (int k = 0; k < 3; ++k) {
            bytes[4 * k] = static_cast<unsigned char>(w[k]);
            bytes[4 * k + 1] = static_cast<unsigned char>(w[k] >> 8);
            bytes[4 * k + 2] = static_cast<unsigned char>(w[k] >> 16);
            bytes[4 * k + 3] = static_cast<unsigned char>(w[k] >> 24);
        }
        std::memcpy(out, bytes, 12);
    }
    for (; i < count; ++i, out += 3) {
        std::uint32_t p = src[i];
        out[0] = static_cast<unsigned char>(p);
        out[1] = static_cast<unsigned char>(p >> 8);
        out[2] = static_cast<unsigned char>(p >> 16);
    }
}

FB_VECTOR_CLONES
void convert_rgb565(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    for (int i = 0; i < count; ++i)
        store16(out + 2 * i, pack565(src[i]));
}

FB_VECTOR_CLONES
void convert_rgb555(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    for (int i = 0; i < count; ++i)
        store16(out + 2 * i, pack555(src[i]));
}
