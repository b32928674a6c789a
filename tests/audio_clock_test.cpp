// The position arithmetic shared by every audio output: a device's count interpolated
// between its callbacks, never past what was handed, never back; and the heard count from
// what an output reports of itself.
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

namespace {

// The device's heard count from what an output reports: a sound server's count run on from
// its moment, or the callbacks' count less a latency. One callback at time 0 handed `handed`.
struct heard_case {
    const char *name;
    host_audio_timing timing;
    std::uint64_t handed;
    std::uint64_t now;
    std::uint64_t heard;
};

class HeardBytes : public testing::TestWithParam<heard_case> {};

TEST_P(HeardBytes, FromWhatTheOutputKnows) {
    play_clock callbacks(byte_ticks);
    callbacks.handed(0, GetParam().handed);
    EXPECT_EQ(heard_bytes(GetParam().timing, callbacks, GetParam().now), GetParam().heard);
}

const heard_case heard_cases[] = {
    {"ACountRunsOnFromItsMoment",
     {.counted = true, .played = 1000, .counted_at = 500, .running = true},
     100000,
     1500,
     2000},
    {"ACountHoldsWhileTheServerDoesNotPlay",
     {.counted = true, .played = 1000, .counted_at = 500, .running = false},
     100000,
     1500,
     1000},
    {"ACountQueriedBeforeItsMomentDoesNotRunBack",
     {.counted = true, .played = 1000, .counted_at = 500, .running = true},
     100000,
     400,
     1000},
    {"ACountNeverPassesWhatWasHanded",
     {.counted = true, .played = 1000, .counted_at = 0, .running = true},
     8192,
     99999,
     8192},
    {"ACountInWholeFrames",
     {.counted = true, .played = 1002, .counted_at = 7, .running = true},
     100000,
     7,
     1000},
    {"TheLatencyIsTakenOffTheCallbacks", {.latency = 1000}, 4096, 3000, 2000},
    {"NothingHeardWithinTheLatency", {.latency = 5000}, 4096, 3000, 0},
    {"ALatencyOfPartFramesCountsWholeOnes", {.latency = 1001}, 4096, 3000, 1996},
};

INSTANTIATE_TEST_SUITE_P(Cases, HeardBytes, testing::ValuesIn(heard_cases),
                         [](const testing::TestParamInfo<heard_case> &info) {
                             return info.param.name;
                         });

} // namespace
