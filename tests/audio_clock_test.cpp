// The position arithmetic shared by every audio output: interpolated between device
// callbacks, never past what was handed, never back.
#include "platform/audio/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// One tick per byte of output, so expected positions read as byte counts.
constexpr std::uint64_t byte_ticks = play_clock::bytes_per_second;

struct step {
    enum { callback, query } kind;
    std::uint64_t time;
    std::uint64_t value; // bytes handed, or the position expected
};

struct clock_case {
    const char *name;
    std::uint64_t ticks_per_second;
    std::vector<step> steps;
};

class PlayClock : public testing::TestWithParam<clock_case> {};

TEST_P(PlayClock, FollowsTheCallbacks) {
    play_clock clock(GetParam().ticks_per_second);
    for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
        const step &s = GetParam().steps[i];
        if (s.kind == step::callback)
            clock.handed(s.time, s.value);
        else
            EXPECT_EQ(clock.position(s.time), s.value) << "step " << i << " at time " << s.time;
    }
}

const clock_case clock_cases[] = {
    {"ZeroBeforeTheFirstCallback", byte_ticks, {{step::query, 0, 0}, {step::query, 100000, 0}}},
    {"InterpolatesUpToWhatWasHanded",
     byte_ticks,
     {{step::callback, 1000, 4096},
      {step::query, 1000, 0},
      {step::query, 2000, 1000},
      {step::query, 5096, 4096},
      {step::query, 900000, 4096}}},
    {"ALateCallbackHoldsThenContinues",
     byte_ticks,
     {{step::callback, 0, 4096},
      {step::query, 6000, 4096},
      {step::callback, 8000, 4096},
      {step::query, 8000, 4096},
      {step::query, 9000, 5096}}},
    // An early callback, or two at once: the position runs on, it does not jump.
    {"AnEarlyCallbackDoesNotJump",
     byte_ticks,
     {{step::callback, 0, 4096},
      {step::query, 3000, 3000},
      {step::callback, 3000, 4096},
      {step::query, 3000, 3000},
      {step::query, 3100, 3100}}},
    {"TwoCallbacksAtOnceDoNotJump",
     byte_ticks,
     {{step::callback, 0, 4096},
      {step::callback, 0, 4096},
      {step::query, 3000, 3000},
      {step::query, 9000, 8192}}},
    // Callbacks every 3000 ticks for 4096 bytes: the position falls behind the device, but
    // never by more than the buffer before the last one.
    {"ADeviceRunningFastIsFollowedWithinABuffer",
     byte_ticks,
     {{step::callback, 0, 4096},
      {step::callback, 3000, 4096},
      {step::callback, 6000, 4096},
      {step::query, 6000, 6000},
      {step::callback, 9000, 4096},
      {step::query, 9000, 9000},
      {step::callback, 12000, 4096},
      {step::query, 12000, 12288},
      {step::query, 12100, 12388}}},
    {"NeverGoesBackForAnEarlierTime",
     byte_ticks,
     {{step::callback, 1000, 4096}, {step::query, 3000, 2000}, {step::query, 1500, 2000}}},
    {"StaysAtTheLengthAfterTheEnd",
     byte_ticks,
     {{step::callback, 0, 4096},
      {step::callback, 4096, 1000},
      {step::callback, 8192, 0},
      {step::query, 8192, 5096},
      {step::query, 99999999, 5096}}},
    // 176.4 bytes per millisecond: the interpolation keeps to whole 4-byte sample frames.
    {"WholeFramesOnly",
     1000,
     {{step::callback, 10, 4096},
      {step::query, 11, 176},
      {step::query, 13, 528},
      {step::query, 30, 3528}}},
    // Nanosecond ticks, an hour between callback and query, more handed than that.
    {"LongGapsDoNotOverflow",
     1000000000,
     {{step::callback, 5, std::uint64_t{1} << 40},
      {step::query, 5 + 3600 * std::uint64_t{1000000000}, 3600 * byte_ticks}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, PlayClock, testing::ValuesIn(clock_cases),
                         [](const testing::TestParamInfo<clock_case> &info) {
                             return info.param.name;
                         });

TEST(PlayClockRestart, StartsAgainFromZero) {
    play_clock clock(byte_ticks);
    clock.handed(0, 4096);
    ASSERT_EQ(clock.position(4096), 4096u);
    clock.restart();
    EXPECT_EQ(clock.position(5000), 0u);
    clock.handed(6000, 4096);
    EXPECT_EQ(clock.position(7000), 1000u);
}

} // namespace
