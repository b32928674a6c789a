#pragma once
// The picture decoders behind OleLoadPicture: one small interface, with one set of decoders
// chosen when linking, as the host is (the native set here; the browser's own elsewhere).
// The format comes from the bytes, never from a name.

#include <cstddef>
#include <cstdint>
#include <vector>

struct decoded_picture {
    int width = 0;
    int height = 0;
    std::uint32_t *pixels = nullptr;  // 0x00RRGGBB, top row first; the top byte is ignored
    std::vector<std::uint8_t> opaque; // 0 where the picture is transparent; empty: opaque

    decoded_picture() = default;
    decoded_picture(decoded_picture &&other) noexcept;
    decoded_picture &operator=(decoded_picture &&other) noexcept;
    decoded_picture(const decoded_picture &) = delete;
    decoded_picture &operator=(const decoded_picture &) = delete;
    ~decoded_picture();
    void release();
};

// Larger pictures are refused before anything is allocated for them.
constexpr int picture_max_side = 16384;
constexpr std::uint64_t picture_max_bytes = std::uint64_t{256} << 20; // as 32-bit pixels

bool picture_size_allowed(std::int64_t width, std::int64_t height);

// JPEG, GIF (the first frame) or BMP. False for anything else or a damaged file.
bool decode_picture(const unsigned char *bytes, std::size_t size, decoded_picture *picture);
