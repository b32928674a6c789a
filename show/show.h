#pragma once
// The show: start-up, the main loop, the timeline and its two frame effects.
// Frames are 320x200 pixels 0x00RRGGBB, top row first, rows without gaps.

#include <cstdint>

constexpr int frame_width = 320;
constexpr int frame_height = 200;
constexpr int frame_pixels = frame_width * frame_height;
// Slots 0..28 hold 00.jpg..28.jpg, slot 29 the title picture.
constexpr int image_count = 30;
constexpr int title_slot = 29;

// The whole program: start-up, loop, shut-down. Returns 0 after the viewer ends the show;
// after a failure it does not return (fatal_error).
int show_main();

// Shows `text` in a modal box (no owner, default caption, OK) and exits with code 1.
[[noreturn]] void fatal_error(const char *text);

// Cross-fades `count` pixels of `src` into `dst` in place; only the low 8 bits of alpha count.
void blend_frame(std::uint32_t *dst, const std::uint32_t *src, int count, int alpha);
// Disturbs the 64000 pixels of a frame in place: p = (p + value) ^ value.
void noise_frame(std::uint32_t *frame, std::uint32_t value);
// The next value 0..32767 of the show's own generator, the same sequence on every run.
int show_rand();

enum show_phase { phase_title, phase_fade, phase_double_noise, phase_strobe };

// The show clock: a position in bytes of decoded audio, turned into seconds the way the
// timeline compares them (t in double precision, show_time = t rounded to float).
double position_seconds(std::int64_t position);
show_phase timeline_phase(std::int64_t position);
// The picture the fade phases move towards at this position.
int fade_picture(std::int64_t position);
// Composes work_frame for this position, drawing from show_rand as the phase needs.
void compose_frame(std::int64_t position);

alignas(64) extern std::uint32_t work_frame[frame_pixels];
alignas(64) extern std::uint32_t scratch_frame[frame_pixels];
extern std::uint32_t *image_table[image_count];
// The generator's state; 1 when the program starts.
extern std::uint32_t show_rand_state;
