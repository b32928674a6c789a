// The timeline: which phase and picture belong to a music position, and the composition of
// the frame for it.

#include "show/show.h"

#include <cstring>

alignas(64) std::uint32_t work_frame[frame_pixels];
alignas(64) std::uint32_t scratch_frame[frame_pixels];
std::uint32_t *image_table[image_count];

namespace {

// The float with these bits. (memcpy rather than std::bit_cast, which not every standard
// library we build with has.)
float float_from_bits(std::uint32_t bits) {
    float value;
    static_assert(sizeof value == sizeof bits);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// 176400 bytes of 44.1 kHz stereo 16-bit audio per second; the factor is the float nearest
// to 1/176400, widened exactly, so the phase changes fall where the show was timed.
const double seconds_per_byte = static_cast<double>(float_from_bits(0x36BE37C6u));

show_phase phase_of(double t) {
    // The title ends on the double value; the later thresholds are compared in float.
    if (t < 15)
        return phase_title;
    const float show_time = static_cast<float>(t);
    if (show_time < 55)
        return phase_fade;
    if (show_time < 68)
        return phase_double_noise;
    return phase_strobe;
}

// Only meaningful in the fade phases, where 15 <= show_time < 68.
int picture_of(double t) {
    return static_cast<int>(static_cast<float>(t)) % 29;
}

void copy_frame(std::uint32_t *dst, const std::uint32_t *src) {
    std::memcpy(dst, src, sizeof(std::uint32_t) * frame_pixels);
}

} // namespace

double position_seconds(std::int64_t position) {
    return static_cast<double>(position) * seconds_per_byte;
}

show_phase timeline_phase(std::int64_t position) {
    return phase_of(position_seconds(position));
}

int fade_picture(std::int64_t position) {
    return picture_of(position_seconds(position));
}

void compose_frame(std::int64_t position) {
    const double t = position_seconds(position);
    const show_phase phase = phase_of(t);
    switch (phase) {
    case phase_title:
        copy_frame(work_frame, image_table[title_slot]);
        break;
    case phase_fade:
    case phase_double_noise:
        // Move a little towards the current picture, then mix back a noisy copy of the
        // result; the double-noise phase disturbs the frame itself as well.
        blend_frame(work_frame, image_table[picture_of(t)], frame_pixels, 10);
        copy_frame(scratch_frame, work_frame);
        noise_frame(scratch_frame, static_cast<std::uint32_t>(show_rand()));
        if (phase == phase_double_noise)
            noise_frame(work_frame, static_cast<std::uint32_t>(show_rand()));
        blend_frame(work_frame, scratch_frame, frame_pixels, 20);
        break;
    case phase_strobe:
        copy_frame(work_frame, image_table[show_rand() % 29]);
        break;
    }
}
