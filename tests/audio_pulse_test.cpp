// The position is what is heard, on a sound server: a click encoded at 2.000 s is played
// through the native host's libpulse output onto a null sink, and heard (in a recording of
// the sink's monitor) within 5 ms of the moment the position says 2.000 s; also with the
// output's latency made as large as Bluetooth headphones make it. Run by
// audio_pulse_test.sh, which starts the server.
#include "tests/support/heard_clicks.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct latency_case {
    const char *name;
    const char *latency_msec; // PULSE_LATENCY_MSEC for the show's stream, or null
};

class OnASoundServer : public testing::TestWithParam<latency_case> {};

TEST_P(OnASoundServer, ClickIsHeardWhenThePositionSaysSo) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run through audio_pulse_test.sh";
    const std::string path = scratch_path("heard_click.mp3");
    ASSERT_TRUE(write_file(path, encode_mp3(click_samples(3.0, 88200), 44100, 2)));
    const heard_clicks heard =
        measure_heard_clicks(path, {88200}, "ulvo_null.monitor", GetParam().latency_msec);
    std::remove(path.c_str());
    ASSERT_EQ(heard.error, "");
    ASSERT_EQ(heard.offsets_ms.size(), 1u);
    std::printf("heard minus reported: %.2f ms\n", heard.offsets_ms[0]);
    EXPECT_LT(std::abs(heard.offsets_ms[0]), 5.0);
}

const latency_case latency_cases[] = {
    {"DefaultLatency", nullptr},
    {"BluetoothLikeLatency", "200"},
};

INSTANTIATE_TEST_SUITE_P(Cases, OnASoundServer, testing::ValuesIn(latency_cases),
                         [](const testing::TestParamInfo<latency_case> &info) {
                             return info.param.name;
                         });

} // namespace
