// The audio library on the headless host's virtual device: what the show's clock reads,
// and what the listener hears.
#include "platform/bass.h"

#include "platform/audio/reset.h"
#include "platform/audio/mp3_stream.h"
#include "platform/host/headless/audio_control.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr QWORD bad_position = static_cast<QWORD>(-1);

std::vector<unsigned char> heard;

void collect(void *, const unsigned char *bytes, std::size_t count) {
    heard.insert(heard.end(), bytes, bytes + count);
}

std::vector<std::string> written;

std::string fixture_path(const std::string &name) {
    written.push_back(scratch_path(name));
    return written.back();
}

std::string write_tone(const std::string &name, const tone_spec &tone) {
    const std::string path = fixture_path(name);
    const std::vector<unsigned char> mp3 = encode_tone_mp3(tone);
    EXPECT_FALSE(mp3.empty());
    EXPECT_TRUE(write_file(path, mp3));
    return path;
}

class Audio : public testing::Test {
  protected:
    void SetUp() override {
        bass_free_all();
        headless_audio_set_available(true);
        heard.clear();
        headless_audio_set_sink(collect, nullptr);
    }
    void TearDown() override {
        headless_audio_set_sink(nullptr, nullptr);
        bass_free_all();
        for (const std::string &path : written)
            std::remove(path.c_str());
        written.clear();
    }

    // Init, open, start and play as the show does.
    HSTREAM play(const std::string &path) {
        EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
        const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        EXPECT_NE(stream, 0u);
        EXPECT_EQ(BASS_Start(), 1);
        EXPECT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
        return stream;
    }

    // Plays to the end; returns the stream's length (its final position).
    QWORD play_to_end(HSTREAM stream) {
        QWORD before = 0;
        for (int i = 0; i < 100000; ++i) {
            headless_audio_advance(4096);
            const QWORD now = BASS_ChannelGetPosition(stream);
            if (now - before < 4096)
                return now;
            before = now;
        }
        ADD_FAILURE() << "the stream never ended";
        return 0;
    }
};

TEST_F(Audio, PositionCountsExactlyTheBytesPlayedAndStopsAtTheLength) {
    const HSTREAM stream = play(write_tone("position.mp3", {44100, 2, 1000, 1.0}));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);

    QWORD played = 0;
    for (std::size_t bytes : {0u, 4096u, 4u, 10000u, 2940u}) {
        headless_audio_advance(bytes);
        played += bytes;
        EXPECT_EQ(BASS_ChannelGetPosition(stream), played);
    }
    // Between a callback and the time it covers: what was handed plays out gradually.
    headless_audio_pull(4096);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), played);
    headless_audio_wait(1000);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), played + 1000);
    headless_audio_wait(100000);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), played + 4096);

    // One second at 44100 Hz, stereo, 16-bit; then it stays there.
    EXPECT_EQ(play_to_end(stream), 176400u);
    headless_audio_advance(50000);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 176400u);

    // Played again after its end, it starts from 0 and lasts as long.
    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    EXPECT_EQ(play_to_end(stream), 176400u);
}

TEST_F(Audio, PositionStartsAtZeroWhenTheStreamPlays) {
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream =
        BASS_StreamCreateFile(0, write_tone("start.mp3", {44100, 2, 1000, 1.0}).c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(BASS_Start(), 1);
    headless_audio_advance(8192); // the device runs, the stream does not
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);

    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    headless_audio_advance(4096);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4096u);

    // Flushing plays it again from the beginning, from position 0, with the same sound.
    const std::vector<unsigned char> first(heard.end() - 4096, heard.end());
    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    headless_audio_advance(4096);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4096u);
    EXPECT_EQ(std::vector<unsigned char>(heard.end() - 4096, heard.end()), first);
    EXPECT_NE(first, std::vector<unsigned char>(4096, 0));
}

TEST_F(Audio, NothingPlaysUntilTheOutputStarts) {
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream =
        BASS_StreamCreateFile(0, write_tone("paused.mp3", {44100, 2, 1000, 1.0}).c_str(), 0, 0, 0);
    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    headless_audio_advance(4096);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    EXPECT_EQ(heard, std::vector<unsigned char>(4096, 0));
    ASSERT_EQ(BASS_Start(), 1);
    headless_audio_advance(4096);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4096u);
}

TEST_F(Audio, PositionOfAHandleThatIsNotAStreamIsMinusOne) {
    const HSTREAM stream = play(write_tone("handles.mp3", {44100, 2, 1000, 0.5}));
    for (std::uint32_t handle : {0u, stream + 1, 0xFFFFFFFFu}) {
        EXPECT_EQ(BASS_ChannelGetPosition(handle), bad_position) << handle;
        EXPECT_EQ(BASS_StreamPlay(handle, 1, 0), 0) << handle;
    }
    // The show keeps the handle of a music file that failed to open: 0.
    EXPECT_EQ(BASS_ChannelGetPosition(BASS_StreamCreateFile(0, "no/such/file.mp3", 0, 0, 0)),
              bad_position);
}

// The tone's frequency from the rising zero crossings of one channel, interpolated
// between samples, over all but the first and last tenth.
double tone_frequency(const std::vector<std::int16_t> &samples, int channel) {
    const std::size_t frames = samples.size() / 2;
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = frames / 10 + 1; i < frames - frames / 10; ++i) {
        const double a = samples[2 * (i - 1) + static_cast<std::size_t>(channel)];
        const double b = samples[2 * i + static_cast<std::size_t>(channel)];
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(i - 1) + a / (a - b);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * 44100.0 / (last - first);
}

double rms(const std::vector<std::int16_t> &samples, int channel) {
    double sum = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < samples.size(); i += 2)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(samples.size() / 2));
}

struct format_case {
    const char *name;
    tone_spec tone;
};

class AudioFormats : public Audio, public testing::WithParamInterface<format_case> {};

TEST_P(AudioFormats, AreDeliveredAt44100StereoWithTheirLengthAndPitch) {
    const tone_spec &tone = GetParam().tone;
    const std::string path = write_tone(std::string("format_") + GetParam().name + ".mp3", tone);
    // The fixture really is in the format it claims.
    const auto direct = mp3_stream::open_file(path.c_str(), 0, 0);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->source_rate(), tone.rate);
    EXPECT_EQ(direct->source_channels(), tone.channels);

    const HSTREAM stream = play(path);
    const QWORD length = play_to_end(stream);
    EXPECT_EQ(length, static_cast<QWORD>(std::lround(tone.seconds * 44100)) * 4);

    ASSERT_GE(heard.size(), length);
    std::vector<std::int16_t> samples(length / 2);
    std::memcpy(samples.data(), heard.data(), length);
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_NEAR(tone_frequency(samples, channel), tone.frequency, 0.5) << "channel " << channel;
        EXPECT_NEAR(rms(samples, channel), 16000 / std::sqrt(2.0), 800) << "channel " << channel;
    }
}

const format_case format_cases[] = {
    {"Mpeg1At44100Stereo", {44100, 2, 1000, 1.0}},
    {"Mpeg1At48000Stereo", {48000, 2, 1000, 1.0}},
    {"Mpeg1At32000Stereo", {32000, 2, 3000, 1.0, 128}},
    {"Mpeg2At22050Mono", {22050, 1, 440, 2.0, 64}},
    {"Mpeg25At11025Mono", {11025, 1, 440, 1.0, 32}},
};

INSTANTIATE_TEST_SUITE_P(Cases, AudioFormats, testing::ValuesIn(format_cases),
                         [](const testing::TestParamInfo<format_case> &info) {
                             return info.param.name;
                         });

// LAME writes only layer III; layers I and II are made here as frames with no bits
// allocated (silence), from their headers' well-known frame lengths.
struct layer_case {
    const char *name;
    unsigned char header[4];
    std::size_t frame_bytes;
    int frame_samples;
    int rate;
};

const layer_case layer_cases[] = {
    {"Mpeg1LayerIAt48000", {0xFF, 0xFF, 0xC4, 0x00}, 384, 384, 48000},   // 384 kbit/s
    {"Mpeg1LayerIIAt48000", {0xFF, 0xFD, 0xA4, 0x00}, 576, 1152, 48000}, // 192 kbit/s
    {"Mpeg2LayerIAt24000", {0xFF, 0xF7, 0x84, 0xC0}, 256, 384, 24000},   // 128 kbit/s, mono
    {"Mpeg2LayerIIAt24000", {0xFF, 0xF5, 0x84, 0xC0}, 384, 1152, 24000}, // 64 kbit/s, mono
};

TEST_F(Audio, LayersIAndIIPlay) {
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    ASSERT_EQ(BASS_Start(), 1);
    for (const layer_case &c : layer_cases) {
        constexpr int frames = 40;
        std::vector<unsigned char> file(c.frame_bytes * frames, 0);
        for (int i = 0; i < frames; ++i)
            std::copy(c.header, c.header + 4, file.begin() + static_cast<long>(c.frame_bytes) * i);
        const std::string path = fixture_path(std::string("layer_") + c.name + ".mp2");
        ASSERT_TRUE(write_file(path, file));
        const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        ASSERT_NE(stream, 0u) << c.name;
        ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
        const QWORD expected = static_cast<QWORD>(frames) * c.frame_samples * 44100 / c.rate * 4;
        EXPECT_EQ(play_to_end(stream), expected) << c.name;
    }
}

TEST_F(Audio, FilesThatAreNotMp3GiveNoStream) {
    const std::string empty = fixture_path("empty.mp3");
    ASSERT_TRUE(write_file(empty, {}));
    const std::string text = fixture_path("text.mp3");
    const char words[] = "This is a text file with a name that ends in .mp3.\n";
    ASSERT_TRUE(write_file(text, std::vector<unsigned char>(words, words + sizeof words - 1)));
    // Random bytes: somewhere in them libmpg123 alone would find something frame-like.
    const std::string noise = fixture_path("noise.mp3");
    std::mt19937 random(1234);
    std::vector<unsigned char> bytes(200000);
    for (unsigned char &b : bytes)
        b = static_cast<unsigned char>(random());
    ASSERT_TRUE(write_file(noise, bytes));

    // And a program: binary, with something frame-like somewhere.
    for (const std::string &path : {fixture_path("missing.mp3"), empty, text, noise,
                                    testing::TempDir(), std::string("/proc/self/exe")})
        EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0), 0u) << path;
    EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(1, bytes.data(), 0, bytes.size(), 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(1, bytes.data(), 0, 0, 0), 0u);
}

TEST_F(Audio, PartOfAFileOrMemoryPlaysLikeAFile) {
    const tone_spec tone{44100, 2, 1000, 0.5};
    const std::vector<unsigned char> mp3 = encode_tone_mp3(tone);
    std::vector<unsigned char> wrapped(777 + mp3.size(), 0x55);
    std::copy(mp3.begin(), mp3.end(), wrapped.begin() + 777);
    const std::string path = fixture_path("wrapped.bin");
    ASSERT_TRUE(write_file(path, wrapped));
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    ASSERT_EQ(BASS_Start(), 1);

    EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0), 0u); // begins with junk
    EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), wrapped.size(), 0, 0), 0u);
    for (HSTREAM stream : {BASS_StreamCreateFile(0, path.c_str(), 777, 0, 0),
                           BASS_StreamCreateFile(0, path.c_str(), 777, mp3.size(), 0),
                           BASS_StreamCreateFile(1, wrapped.data(), 777, mp3.size(), 0)}) {
        ASSERT_NE(stream, 0u);
        ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
        EXPECT_EQ(play_to_end(stream), 88200u) << stream;
    }
    // A length that ends half-way plays about half.
    const HSTREAM half = BASS_StreamCreateFile(0, path.c_str(), 777, mp3.size() / 2, 0);
    ASSERT_NE(half, 0u);
    ASSERT_EQ(BASS_StreamPlay(half, 1, 0), 1);
    const QWORD length = play_to_end(half);
    EXPECT_GT(length, 88200u * 3 / 10);
    EXPECT_LT(length, 88200u * 7 / 10);
}

struct damage_case {
    const char *name;
    std::vector<unsigned char> (*damage)(const std::vector<unsigned char> &mp3);
    double least; // of the undamaged length
    double most;
};

const damage_case damage_cases[] = {
    // An ID3v2 tag (here 300 bytes) and the zero padding some taggers leave after it.
    {"TaggedAndPadded",
     [](const std::vector<unsigned char> &mp3) {
         std::vector<unsigned char> out = {'I', 'D', '3', 3, 0, 0, 0, 0, 2, 34}; // 290 bytes follow
         out.resize(300 + 500, 0);
         out.insert(out.end(), mp3.begin(), mp3.end());
         return out;
     },
     1.0, 1.0},
    {"CutInTheMiddleOfAFrame",
     [](const std::vector<unsigned char> &mp3) {
         return std::vector<unsigned char>(mp3.begin(),
                                           mp3.begin() + static_cast<long>(mp3.size() / 2 + 101));
     },
     0.4, 0.6},
    {"GarbageInTheMiddle",
     [](const std::vector<unsigned char> &mp3) {
         std::vector<unsigned char> out = mp3;
         std::fill(out.begin() + static_cast<long>(out.size() * 2 / 5),
                   out.begin() + static_cast<long>(out.size() * 2 / 5 + 1500), 0x55);
         return out;
     },
     0.8, 1.0},
};

TEST_F(Audio, TaggedOrDamagedFilesPlayWhatTheyHold) {
    const std::vector<unsigned char> mp3 = encode_tone_mp3({44100, 2, 1000, 2.0});
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    ASSERT_EQ(BASS_Start(), 1);
    for (const damage_case &c : damage_cases) {
        const std::string path = fixture_path(std::string("damaged_") + c.name + ".mp3");
        ASSERT_TRUE(write_file(path, c.damage(mp3)));
        const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        ASSERT_NE(stream, 0u) << c.name;
        ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
        const double length = static_cast<double>(play_to_end(stream));
        EXPECT_GE(length, c.least * 352800) << c.name;
        EXPECT_LE(length, c.most * 352800) << c.name;
    }
}

TEST_F(Audio, StreamsPlayingTogetherAreMixed) {
    const std::string path = write_tone("mix.mp3", {44100, 2, 1000, 0.5});
    const HSTREAM one = play(path);
    headless_audio_advance(8192);
    const std::vector<unsigned char> alone(heard.begin(), heard.end());
    const HSTREAM two = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_EQ(BASS_StreamPlay(one, 1, 0), 1);
    ASSERT_EQ(BASS_StreamPlay(two, 1, 0), 1);
    heard.clear();
    headless_audio_advance(8192);
    EXPECT_EQ(BASS_ChannelGetPosition(one), 8192u);
    EXPECT_EQ(BASS_ChannelGetPosition(two), 8192u);
    std::vector<std::int16_t> single(4096);
    std::vector<std::int16_t> both(4096);
    std::memcpy(single.data(), alone.data(), 8192);
    std::memcpy(both.data(), heard.data(), 8192);
    for (std::size_t i = 0; i < single.size(); ++i)
        ASSERT_EQ(both[i], 2 * single[i]) << i;
}

TEST_F(Audio, InitFailsCleanlyWithoutAnOutputDevice) {
    headless_audio_set_available(false);
    EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 0);
    EXPECT_FALSE(headless_audio_is_open());
    EXPECT_EQ(BASS_Start(), 0);
    // The stream still opens (the show does not check), but cannot play.
    const HSTREAM stream = BASS_StreamCreateFile(
        0, write_tone("nodevice.mp3", {44100, 2, 1000, 0.5}).c_str(), 0, 0, 0);
    EXPECT_NE(stream, 0u);
    EXPECT_EQ(BASS_StreamPlay(stream, 1, 0), 0);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);

    headless_audio_set_available(true);
    EXPECT_EQ(BASS_Init(2, 44100, 256, nullptr, nullptr), 0); // only the default device
    EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    EXPECT_TRUE(headless_audio_is_open());
    EXPECT_EQ(BASS_Start(), 1);
    EXPECT_TRUE(headless_audio_is_running());
}

} // namespace
