// Row converters from frame pixels (0x00RRGGBB) to the display's pixel formats. One pass,
// shifts and masks only; the compiler vectorises the loops, and on x86-64 ELF systems the
// loader picks the widest vector unit the processor has.
#include "fb/fb_internal.h"

#include <bit>
#include <cstring>

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define FB_VECTOR_CLONES                                                                           \
    __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "arch=x86-64-v2", "default")))
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

// Low byte first, whatever the processor's own order.
inline void store16(unsigned char *out, std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &value, 2);
    } else {
        out[0] = static_cast<unsigned char>(value);
        out[1] = static_cast<unsigned char>(value >> 8);
    }
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
#if defined(__GNUC__) && !defined(__clang__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Sixteen pixels at a time, 64 bytes to 48: a byte shuffle inside each 16-byte lane
    // drops every fourth byte, then a word shuffle closes the gaps between the lanes.
    typedef unsigned char bytes64 __attribute__((vector_size(64)));
    typedef std::uint32_t words16 __attribute__((vector_size(64)));
    const bytes64 in_lane = {0,  1,  2,  4,  5,  6,  8,  9,  10, 12, 13, 14, 3,  7,  11, 15,
                             16, 17, 18, 20, 21, 22, 24, 25, 26, 28, 29, 30, 19, 23, 27, 31,
                             32, 33, 34, 36, 37, 38, 40, 41, 42, 44, 45, 46, 35, 39, 43, 47,
                             48, 49, 50, 52, 53, 54, 56, 57, 58, 60, 61, 62, 51, 55, 59, 63};
    const words16 close_gaps = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15};
    for (; i + 16 <= count; i += 16, out += 48) {
        bytes64 in;
        std::memcpy(&in, src + i, 64);
        words16 packed = reinterpret_cast<words16>(__builtin_shuffle(in, in_lane));
        packed = __builtin_shuffle(packed, close_gaps);
        // The 16 bytes beyond the 48 are written over by the next block, so a whole
        // vector may be stored wherever the row goes on far enough.
        if (i + 22 <= count)
            std::memcpy(out, &packed, 64);
        else
            std::memcpy(out, &packed, 48);
    }
#endif
    for (; i < count; ++i, out += 3) {
        std::uint32_t p = src[i];
        out[0] = static_cast<unsigned char>(p);
        out[1] = static_cast<unsigned char>(p >> 8);
        out[2] = static_cast<unsigned char>(p >> 16);
    }
}

#if defined(__GNUC__) && !defined(__clang__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define FB_VECTOR_EXTENSIONS 1
typedef std::uint32_t fb_words16 __attribute__((vector_size(64)));
typedef std::uint16_t fb_halves16 __attribute__((vector_size(32)));
#endif

FB_VECTOR_CLONES
void convert_rgb565(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    int i = 0;
#ifdef FB_VECTOR_EXTENSIONS
    // Sixteen pixels packed in 32-bit lanes, then narrowed to 16 bits in one step.
    for (; i + 16 <= count; i += 16) {
        fb_words16 p;
        std::memcpy(&p, src + i, 64);
        fb_words16 v = ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F);
        fb_halves16 h = __builtin_convertvector(v, fb_halves16);
        std::memcpy(out + 2 * i, &h, 32);
    }
#endif
    for (; i < count; ++i)
        store16(out + 2 * i, pack565(src[i]));
}

FB_VECTOR_CLONES
void convert_rgb555(void *dst, const std::uint32_t *src, int count) {
    unsigned char *out = static_cast<unsigned char *>(dst);
    int i = 0;
#ifdef FB_VECTOR_EXTENSIONS
    for (; i + 16 <= count; i += 16) {
        fb_words16 p;
        std::memcpy(&p, src + i, 64);
        fb_words16 v = ((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x001F);
        fb_halves16 h = __builtin_convertvector(v, fb_halves16);
        std::memcpy(out + 2 * i, &h, 32);
    }
#endif
    for (; i < count; ++i)
        store16(out + 2 * i, pack555(src[i]));
}
