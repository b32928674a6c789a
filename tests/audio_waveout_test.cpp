// The system-independent parts of the Windows audio library: MPEG header parsing, the
// resampler, and the smoothing of the device's position.
#include "platform/audio/waveout/device_clock.h"
#include "platform/audio/waveout/mp3_header.h"
#include "platform/audio/waveout/resample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct header_case {
    unsigned char bytes[4];
    int valid;
    int version, layer, bitrate, rate, channels, length;
};

TEST(Mp3Header, ParsesEveryVersionAndLayer) {
    const header_case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 1, 10, 3, 128000, 44100, 2, 417}, // MPEG 1 Layer III
        {{0xFF, 0xFB, 0x92, 0x64}, 1, 10, 3, 128000, 44100, 2, 418}, // padded
        {{0xFF, 0xF3, 0x84, 0xC4}, 1, 20, 3, 64000, 24000, 1, 192},  // MPEG 2, mono
        {{0xFF, 0xE3, 0x48, 0x00}, 1, 25, 3, 32000, 8000, 2, 288},   // MPEG 2.5
        {{0xFF, 0xFD, 0xA0, 0x00}, 1, 10, 2, 192000, 44100, 2, 626}, // Layer II
        {{0xFF, 0xFF, 0x10, 0x00}, 1, 10, 1, 32000, 44100, 2, 32},   // Layer I
        {{0xFF, 0x7B, 0x90, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // no sync
        {{0xFF, 0xEB, 0x90, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // reserved version
        {{0xFF, 0xF9, 0x90, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // reserved layer
        {{0xFF, 0xFB, 0xF0, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // bad bit rate
        {{0xFF, 0xFB, 0x00, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // free format
        {{0xFF, 0xFB, 0x9C, 0x64}, 0, 0, 0, 0, 0, 0, 0},             // reserved rate
    };
    for (const header_case &c : cases) {
        mpeg_frame f{};
        SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[1]) << ' ' << int(c.bytes[2]));
        ASSERT_EQ(parse_mpeg_header(c.bytes, &f), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(f.version, c.version);
        EXPECT_EQ(f.layer, c.layer);
        EXPECT_EQ(f.bitrate, c.bitrate);
        EXPECT_EQ(f.rate, c.rate);
        EXPECT_EQ(f.channels, c.channels);
        EXPECT_EQ(f.length, c.length);
    }
}

TEST(Mp3Header, MeasuresId3v2Tags) {
    struct {
        std::vector<unsigned char> bytes;
        std::size_t size;
    } cases[] = {
        {{'I', 'D', '3', 4, 0, 0x00, 0, 0, 2, 1}, 10 + 257},
        {{'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 1}, 10 + 257 + 10}, // with a footer
        {{'I', 'D', '3', 4, 0, 0x00, 0, 0, 0x82, 1}, 0},          // not synchsafe
        {{'I', 'D', '3', 4, 0, 0x00, 0, 0, 2}, 0},                // cut short
        {{'T', 'A', 'G', 4, 0, 0x00, 0, 0, 2, 1}, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(id3v2_size(c.bytes.data(), c.bytes.size()), c.size);
}

// A Layer III frame of 128 kbit/s at 44100 Hz: 417 bytes.
void put_frame(std::vector<unsigned char> &out) {
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    out.insert(out.end(), header, header + 4);
    out.insert(out.end(), 417 - 4, 0x11);
}

TEST(Mp3Header, FindsTheFirstFramePastAFalseSync) {
    std::vector<unsigned char> data(100, 0x22);
    // A header whose successor is not one: junk that looks like audio.
    const unsigned char sync[4] = {0xFF, 0xFB, 0x90, 0x64};
    data.insert(data.end(), sync, sync + 4);
    data.insert(data.end(), 500, 0x33);
    const long real = static_cast<long>(data.size());
    put_frame(data);
    put_frame(data);
    mpeg_frame f{};
    EXPECT_EQ(find_first_frame(data.data(), data.size(), &f), real);
    EXPECT_EQ(f.rate, 44100);

    // Layer II audio is not for the Layer III codec.
    std::vector<unsigned char> layer2;
    for (int i = 0; i < 2; ++i) {
        const unsigned char header[4] = {0xFF, 0xFD, 0xA0, 0x00};
        layer2.insert(layer2.end(), header, header + 4);
        layer2.insert(layer2.end(), 626 - 4, 0x11);
    }
    EXPECT_EQ(find_first_frame(layer2.data(), layer2.size(), &f), -1);
}

std::vector<std::int16_t> resample_all(int rate, int channels, const std::vector<std::int16_t> &in,
                                       std::size_t chunk_frames) {
    resampler r(rate, channels);
    std::vector<std::int16_t> out;
    const std::size_t frames = in.size() / static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < frames; at += chunk_frames) {
        const std::size_t n = std::min(chunk_frames, frames - at);
        r.push(in.data() + at * static_cast<std::size_t>(channels), n, out);
    }
    r.finish(out);
    return out;
}

TEST(Resampler, PassesCdAudioThroughAndDoublesMono) {
    const std::vector<std::int16_t> stereo = {1, -1, 2, -2, 3, -3};
    EXPECT_EQ(resample_all(44100, 2, stereo, 2), stereo);
    const std::vector<std::int16_t> mono = {5, -7, 32767, -32768};
    EXPECT_EQ(resample_all(44100, 1, mono, 3),
              (std::vector<std::int16_t>{5, 5, -7, -7, 32767, 32767, -32768, -32768}));
}

TEST(Resampler, InterpolatesUpAndKeepsTheLength) {
    EXPECT_EQ(resample_all(22050, 1, {0, 100, -100}, 1),
              (std::vector<std::int16_t>{0, 0, 50, 50, 100, 100, 0, 0, -100, -100, -100, -100}));
    struct {
        int rate;
        int channels;
    } cases[] = {{48000, 2}, {32000, 1}, {22050, 2}, {8000, 1}, {11025, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        std::vector<std::int16_t> in(static_cast<std::size_t>(c.rate * c.channels));
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<std::int16_t>(i * 37 % 20000 - 10000);
        const std::vector<std::int16_t> whole = resample_all(c.rate, c.channels, in, in.size());
        // One second in, one second out; state carried across chunks changes nothing.
        EXPECT_NEAR(static_cast<double>(whole.size()) / 2, 44100, 1);
        EXPECT_EQ(resample_all(c.rate, c.channels, in, 7), whole);
    }
}

TEST(Resampler, ResetForgetsThePreviousFrame) {
    resampler r(22050, 1);
    std::vector<std::int16_t> out;
    const std::int16_t a[2] = {1000, 1000};
    r.push(a, 2, out);
    r.reset();
    out.clear();
    const std::int16_t b[2] = {0, 100};
    r.push(b, 2, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{0, 0, 50, 50}));
}

// Times in milliseconds: 1 ms is 176.4 bytes, 10 ms 1764.
TEST(DeviceClock, InterpolatesBetweenTheDeviceSteps) {
    device_clock clock(1000);
    struct {
        std::uint64_t now, played, given;
        bool running;
        std::uint64_t expected;
    } steps[] = {
        {0, 0, 100000, false, 0},         // opened, paused
        {5, 0, 100000, false, 0},         // paused: no interpolation
        {10, 1764, 100000, true, 1760},   // the device steps: followed at twice the rate
        {15, 1764, 100000, true, 2644},   // 5 ms later, in whole frames
        {20, 3528, 100000, true, 3528},   // the next step lands where interpolation was
        {200, 3528, 100000, true, 12348}, // a stalled device: at most 50 ms ahead of it
        {210, 1000, 100000, true, 12348}, // a count that falls back: held
        {220, 20000, 13001, true, 13000}, // never past what the device was given
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.now);
        EXPECT_EQ(clock.position(s.now, s.played, s.given, s.running), s.expected);
    }
}

TEST(DeviceClock, CatchesUpWithALeapAtTwiceTheRate) {
    device_clock clock(1000);
    EXPECT_EQ(clock.position(0, 0, 100000, true), 0u);
    EXPECT_EQ(clock.position(5, 17640, 100000, true), 1760u);  // 5 ms after: 10 ms of audio
    EXPECT_EQ(clock.position(10, 17640, 100000, true), 3520u); // still catching up
    EXPECT_EQ(clock.position(200, 17640, 100000, true), 17640u + 8820u);
}

} // namespace
