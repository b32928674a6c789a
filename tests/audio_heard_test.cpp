// The position is what is heard: on the headless device, with the latency a test sets, the
// position is the bytes handed less the latency, in whole frames, never back, 0 before the
// stream plays and its length after its end; and a click encoded at 2.000 s decodes there.
#include "platform/bass.h"

#include "platform/audio/reset.h"
#include "platform/host/headless/audio_control.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct op {
    enum { play, advance, pull, wait, latency, expect } kind;
    std::uint64_t value; // bytes, or the position expected
};

struct heard_case {
    const char *name;
    std::vector<op> ops;
};

std::string one_second_tone;

class Heard : public testing::TestWithParam<heard_case> {
  protected:
    static void SetUpTestSuite() {
        one_second_tone = scratch_path("heard.mp3");
        ASSERT_TRUE(write_file(one_second_tone, encode_tone_mp3({44100, 2, 1000, 1.0})));
    }
    static void TearDownTestSuite() { std::remove(one_second_tone.c_str()); }
    void SetUp() override {
        bass_free_all();
        headless_audio_set_latency(0);
    }
    void TearDown() override {
        bass_free_all();
        headless_audio_set_latency(0);
    }
};

TEST_P(Heard, PositionIsHandedLessTheLatency) {
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream = BASS_StreamCreateFile(0, one_second_tone.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(BASS_Start(), 1);
    for (std::size_t i = 0; i < GetParam().ops.size(); ++i) {
        const op &o = GetParam().ops[i];
        switch (o.kind) {
        case op::play:
            ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
            break;
        case op::advance:
            headless_audio_advance(o.value);
            break;
        case op::pull:
            headless_audio_pull(o.value);
            break;
        case op::wait:
            headless_audio_wait(o.value);
            break;
        case op::latency:
            headless_audio_set_latency(o.value);
            break;
        case op::expect:
            EXPECT_EQ(BASS_ChannelGetPosition(stream), o.value) << "step " << i;
            break;
        }
    }
}

constexpr std::uint64_t length = 176400; // the tone's one second

const heard_case heard_cases[] = {
    {"LatencyIsTakenOff",
     {{op::latency, 1000},
      {op::play, 0},
      {op::advance, 4096},
      {op::expect, 3096},
      {op::advance, 4096},
      {op::expect, 7192}}},
    {"ZeroUntilTheLatencyHasPassed",
     {{op::latency, 10000},
      {op::play, 0},
      {op::expect, 0},
      {op::advance, 4096},
      {op::advance, 4096},
      {op::expect, 0},
      {op::advance, 4096},
      {op::expect, 2288}}},
    // A latency that is not whole frames counts as the next whole frame.
    {"WholeFramesOnly",
     {{op::latency, 1001}, {op::play, 0}, {op::advance, 4096}, {op::expect, 3092}}},
    // Between a callback and the time it covers, the handed bytes play out, late by the latency.
    {"InterpolatedBetweenCallbacks",
     {{op::latency, 500},
      {op::play, 0},
      {op::pull, 4096},
      {op::expect, 0},
      {op::wait, 1000},
      {op::expect, 500},
      {op::wait, 100000},
      {op::expect, 3596}}},
    // The device played silence before the stream played: none of it is the stream's.
    {"ZeroBeforeTheStreamPlays",
     {{op::latency, 2000},
      {op::advance, 8192},
      {op::expect, 0},
      {op::play, 0},
      {op::expect, 0},
      {op::advance, 4096},
      {op::expect, 2096}}},
    {"NeverBackWhenTheLatencyGrows",
     {{op::play, 0},
      {op::advance, 8192},
      {op::expect, 8192},
      {op::latency, 6000},
      {op::expect, 8192},
      {op::advance, 4096},
      {op::expect, 8192},
      {op::advance, 4096},
      {op::expect, 10384}}},
    // The end is reached a latency after the last byte was handed, and kept.
    {"AtTheLengthAfterTheEnd",
     {{op::latency, 8000},
      {op::play, 0},
      {op::advance, length},
      {op::expect, length - 8000},
      {op::advance, 4000},
      {op::expect, length - 4000},
      {op::advance, 40000},
      {op::expect, length},
      {op::latency, 0},
      {op::advance, 4096},
      {op::expect, length}}},
    // Played again: from 0, the latency again before anything is heard.
    {"RestartedFromZero",
     {{op::latency, 4000},
      {op::play, 0},
      {op::advance, 40000},
      {op::expect, 36000},
      {op::play, 0},
      {op::expect, 0},
      {op::advance, 4096},
      {op::expect, 96}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, Heard, testing::ValuesIn(heard_cases),
                         [](const testing::TestParamInfo<heard_case> &info) {
                             return info.param.name;
                         });

std::vector<short> played;

void collect(void *, const unsigned char *bytes, std::size_t count) {
    const std::size_t at = played.size();
    played.resize(at + count / 2);
    std::memcpy(played.data() + at, bytes, count / 2 * 2);
}

// The fixture of the tests on a sound server: the encoder's delay must not move the click.
TEST(ClickFixture, DecodesAtTwoSeconds) {
    bass_free_all();
    const std::string path = scratch_path("click.mp3");
    ASSERT_TRUE(write_file(path, encode_mp3(click_samples(3.0, 88200), 44100, 2)));
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(BASS_Start(), 1);
    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    played.clear();
    headless_audio_set_sink(collect, nullptr);
    for (int i = 0; i < 3 * 44100 / 1024 + 2; ++i)
        headless_audio_advance(4096);
    headless_audio_set_sink(nullptr, nullptr);
    bass_free_all();
    std::remove(path.c_str());
    // Within 0.1 ms of 2.000 s: LAME's delay is 1105 frames, so a decoder that kept it would
    // put the click 25 ms late.
    const long click = find_click(played.data(), played.size() / 2);
    EXPECT_NEAR(click, 88200, 4);
}

} // namespace
