// The pieces of ulvo-capture that do not need the show: frame positions, the command
// line, and the writers and scaler that shape its output.
#include "tools/capture/options.h"
#include "tools/capture/png_file.h"
#include "tools/capture/progress.h"
#include "tools/capture/scale.h"
#include "tools/capture/soundtrack.h"
#include "tools/capture/timing.h"
#include "tools/capture/wav.h"
#include "tools/capture/y4m.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> file_bytes(const char *path) {
    std::vector<unsigned char> bytes;
    if (std::FILE *f = std::fopen(path, "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(f);
    }
    return bytes;
}

std::uint32_t le32(const std::vector<unsigned char> &b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

} // namespace

TEST(FramePositions, FollowTheByteClockForEveryRate) {
    struct rate_case {
        int fps;
        std::int64_t n;
        std::int64_t position; // floor(n * 176400 / fps), on its sample frame
    };
    const rate_case cases[] = {
        {60, 1, 2940},
        {60, 900, 2646000}, // the last title frame at 60 fps
        {60, 901, 2648940},
        {30, 1, 5880},
        {25, 3, 21168},
        {50, 7, 24696},
        {7, 1, 25200},
        {1, 80, 14112000},
        {59, 59, 176400},
        {24, 1, 7348}, // 7350 falls inside a sample frame
        {24, 2, 14700},
        {59, 1, 2988},
        {59, 2, 5976},
        {144, 1, 1224},
        {1000, 3, 528},
        {1000, 7, 1232},
        {1000, 21600000, 3810240000}, // six hours at the highest rate: no overflow
    };
    for (const rate_case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.fps << " fps, frame " << c.n);
        EXPECT_EQ(frame_position(c.n, c.fps), c.position);
        EXPECT_EQ(c.position % 4, 0);
        EXPECT_EQ(frame_position(0, c.fps), 0);
        EXPECT_EQ(frame_position(c.fps, c.fps), bytes_per_second); // a second is a second
        // The frame on screen at a position is the last one composed at or before it.
        EXPECT_EQ(frame_at(c.position, c.fps), c.n);
        EXPECT_EQ(frame_at(c.position + 3, c.fps), c.n);
        EXPECT_EQ(frame_at(frame_position(c.n + 1, c.fps) - 1, c.fps), c.n);
        EXPECT_EQ(frame_at(frame_position(c.n + 1, c.fps), c.fps), c.n + 1);
    }
    // Never two frames at one position, even at the highest rate.
    for (int fps : {24, 59, 60, 144, 1000})
        for (std::int64_t n = 0; n < 2000; ++n)
            ASSERT_LT(frame_position(n, fps), frame_position(n + 1, fps)) << fps << " " << n;
}

TEST(FramePositions, CountCoversTheRecordingExactly) {
    struct count_case {
        std::int64_t bytes;
        int fps;
        std::int64_t frames;
    };
    const count_case cases[] = {
        {80 * bytes_per_second, 60, 4800}, // 80 s at 60 fps
        {bytes_per_second, 24, 24},
        {bytes_per_second + 4, 24, 25},
        {4, 60, 1},
        {0, 60, 0},
        {2940, 60, 1},
        {2944, 60, 2},
        {441000, 59, 148}, // 2.5 s at 59 fps: frame 147 starts at 440701
    };
    for (const count_case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes at " << c.fps << " fps");
        const std::int64_t n = frame_count(c.bytes, c.fps);
        EXPECT_EQ(n, c.frames);
        if (n > 0) {
            EXPECT_LT(frame_position(n - 1, c.fps), c.bytes);
        }
        EXPECT_GE(frame_position(n, c.fps), c.bytes);
    }
}

TEST(FramePositions, SecondsBecomeWholeSampleFrames) {
    EXPECT_EQ(seconds_to_bytes(0), 0);
    EXPECT_EQ(seconds_to_bytes(1), 176400);
    EXPECT_EQ(seconds_to_bytes(2.5), 441000);
    EXPECT_EQ(seconds_to_bytes(80), 14112000);
    EXPECT_EQ(seconds_to_bytes(1.0 / 44100), 4);
    EXPECT_EQ(seconds_to_bytes(0.4 / 44100), 0);
    EXPECT_EQ(seconds_to_bytes(max_seconds), std::int64_t{21600} * 176400);
    EXPECT_EQ(seconds_to_bytes(-1), -1);
    EXPECT_EQ(seconds_to_bytes(max_seconds + 1), -1);
    EXPECT_EQ(seconds_to_bytes(NAN), -1);
    EXPECT_EQ(seconds_to_bytes(INFINITY), -1);
}

TEST(CaptureOptions, ParseEveryOptionAndRefuseNonsense) {
    struct option_case {
        std::vector<const char *> args;
        const char *error; // a part of the message, or null when the line is accepted
    };
    const option_case cases[] = {
        {{}, nullptr},
        {{"--fps", "30", "--seconds", "2.5", "--scale", "1", "--output", "a/b.y4m"}, nullptr},
        {{"--png", "frames"}, nullptr},
        {{"--still", "17.5", "t.png", "--scale", "2"}, nullptr},
        {{"--mp4", "show.mp4", "--seconds", "80"}, nullptr},
        {{"--help"}, nullptr},
        {{"--fps"}, "--fps needs"},
        {{"--fps", "0"}, "--fps takes"},
        {{"--fps", "1001"}, "--fps takes"},
        {{"--fps", "29.97"}, "--fps takes"},
        {{"--fps", "60x"}, "--fps takes"},
        {{"--seconds", "0"}, "--seconds takes"},
        {{"--seconds", "-3"}, "--seconds takes"},
        {{"--seconds", "nan"}, "--seconds takes"},
        {{"--seconds", "1e9"}, "--seconds takes"},
        {{"--scale", "0"}, "--scale takes"},
        {{"--scale", "9"}, "--scale takes"},
        {{"--still", "3"}, "--still needs"},
        {{"--still", "-1", "x.png"}, "--still takes"},
        {{"--still", "3", "x.png", "--seconds", "5"}, "leave out --seconds"},
        {{"--png", "d", "--mp4", "x.mp4"}, "give one"},
        {{"--output", "v.y4m", "--still", "3", "x.png"}, "give one"},
        {{"--mp4", "x.mp4", "--output", "v.y4m"}, "give one"},
        {{"--frames"}, "unknown argument --frames"},
        {{"show.y4m"}, "unknown argument show.y4m"},
    };
    for (const option_case &c : cases) {
        std::vector<const char *> argv = {"ulvo-capture"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string line;
        for (const char *a : c.args)
            line += std::string(a) + " ";
        SCOPED_TRACE(line);
        capture_options o;
        std::string error;
        const int ok = parse_options(static_cast<int>(argv.size()), argv.data(), &o, &error);
        if (c.error) {
            EXPECT_EQ(ok, 0);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        } else {
            EXPECT_EQ(ok, 1) << error;
        }
    }
}

TEST(CaptureOptions, DefaultsAndValues) {
    capture_options o;
    std::string error;
    const char *none[] = {"ulvo-capture"};
    ASSERT_TRUE(parse_options(1, none, &o, &error));
    EXPECT_EQ(o.mode, capture_mode::video);
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.total_bytes, -1);
    EXPECT_EQ(o.output, "ulvo-capture.y4m");
    EXPECT_EQ(o.scale, 3);
    EXPECT_FALSE(o.help);

    const char *still[] = {"ulvo-capture", "--still", "17.5", "t.png", "--fps", "24"};
    ASSERT_TRUE(parse_options(6, still, &o, &error));
    EXPECT_EQ(o.mode, capture_mode::still);
    EXPECT_EQ(o.still_bytes, 17 * 176400 + 88200);
    EXPECT_EQ(o.still_file, "t.png");
    EXPECT_EQ(o.fps, 24);

    const char *mp4[] = {"ulvo-capture", "--mp4", "show.mp4", "--seconds", "80"};
    ASSERT_TRUE(parse_options(5, mp4, &o, &error));
    EXPECT_EQ(o.mode, capture_mode::mp4);
    EXPECT_EQ(o.mp4_file, "show.mp4");
    EXPECT_EQ(o.total_bytes, 80 * 176400);

    const char *png[] = {"ulvo-capture", "--png", "frames"};
    ASSERT_TRUE(parse_options(3, png, &o, &error));
    EXPECT_EQ(o.mode, capture_mode::png);
    EXPECT_EQ(o.png_dir, "frames");
}

TEST(Soundtrack, LengthIsCountedAsTheAudioLibraryDeliversIt) {
    // At 44100 Hz stereo whatever the file: a mono file at half the rate has the same length.
    struct length_case {
        tone_spec tone;
        std::int64_t bytes;
    };
    const length_case cases[] = {
        {{44100, 2, 440, 3.0}, 3 * 176400},
        {{22050, 1, 440, 2.0}, 2 * 176400},
        {{48000, 2, 440, 1.5}, 264600},
    };
    const std::string path = scratch_path("capture_soundtrack.mp3");
    for (const length_case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.tone.rate << " Hz, " << c.tone.channels << " channels");
        ASSERT_TRUE(write_file(path, encode_tone_mp3(c.tone)));
        EXPECT_EQ(soundtrack_bytes(path.c_str()), c.bytes);
    }
    ASSERT_TRUE(write_file(path, std::vector<unsigned char>(5000, 'x')));
    EXPECT_EQ(soundtrack_bytes(path.c_str()), -1);
    std::remove(path.c_str());
    EXPECT_EQ(soundtrack_bytes("no-such-folder/ulvo.mp3"), -1);
}

TEST(CaptureOptions, SoundGoesBesideTheVideo) {
    EXPECT_EQ(wav_path_beside("ulvo-capture.y4m"), "ulvo-capture.wav");
    EXPECT_EQ(wav_path_beside("out/show.v1.y4m"), "out/show.v1.wav");
    EXPECT_EQ(wav_path_beside("show"), "show.wav");
    EXPECT_EQ(wav_path_beside("a.b/show"), "a.b/show.wav");
    EXPECT_EQ(wav_path_beside(".hidden"), ".hidden.wav");
    EXPECT_EQ(wav_path_beside("dir/.hidden"), "dir/.hidden.wav");
}

TEST(WavWriter, HoldsExactlyTheLengthAsked) {
    // Less sound than asked is filled with silence, more is cut: the file's length
    // follows the length asked, not the pieces written.
    struct wav_case {
        std::uint32_t asked;
        std::size_t given;
    };
    const wav_case cases[] = {{176400, 176400}, {176400, 1000}, {8, 20000}, {0, 12}};
    for (const wav_case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.asked << " asked, " << c.given << " given");
        const char *path = "wav_writer_test.wav";
        std::FILE *f = std::fopen(path, "wb");
        ASSERT_NE(f, nullptr);
        wav_writer wav(f, c.asked);
        ASSERT_TRUE(wav.write_header());
        std::vector<unsigned char> sound(c.given);
        for (std::size_t i = 0; i < sound.size(); ++i)
            sound[i] = static_cast<unsigned char>(i * 7 + 1);
        // In two uneven pieces, as the audio clock hands it over.
        EXPECT_TRUE(wav.write(sound.data(), sound.size() / 3));
        EXPECT_TRUE(wav.write(sound.data() + sound.size() / 3, sound.size() - sound.size() / 3));
        EXPECT_TRUE(wav.finish());
        std::fclose(f);

        const std::vector<unsigned char> b = file_bytes(path);
        ASSERT_EQ(b.size(), 44 + c.asked);
        EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
        EXPECT_EQ(le32(b, 4), 36 + c.asked);
        EXPECT_EQ(std::memcmp(b.data() + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(le32(b, 16), 16u);
        EXPECT_EQ(b[20] | b[21] << 8, 1);  // PCM
        EXPECT_EQ(b[22] | b[23] << 8, 2);  // stereo
        EXPECT_EQ(le32(b, 24), 44100u);    // rate
        EXPECT_EQ(le32(b, 28), 176400u);   // bytes a second
        EXPECT_EQ(b[32] | b[33] << 8, 4);  // block
        EXPECT_EQ(b[34] | b[35] << 8, 16); // bits
        EXPECT_EQ(std::memcmp(b.data() + 36, "data", 4), 0);
        EXPECT_EQ(le32(b, 40), c.asked);
        for (std::size_t i = 0; i < c.asked; ++i) {
            const unsigned char want = i < c.given ? sound[i] : 0;
            ASSERT_EQ(b[44 + i], want) << "at " << i;
        }
        std::remove(path);
    }
}

TEST(WavWriter, ReportsAFullDisk) {
    std::FILE *f = std::fopen("/dev/full", "wb");
    if (!f)
        GTEST_SKIP() << "no /dev/full";
    std::setvbuf(f, nullptr, _IONBF, 0);
    wav_writer wav(f, 4000);
    EXPECT_FALSE(wav.write_header() && wav.write("abcd", 4) && wav.finish());
    std::fclose(f);
}

TEST(Y4m, Bt601LimitedRangeColours) {
    struct colour_case {
        std::uint32_t rgb;
        int y, cb, cr;
    };
    const colour_case cases[] = {
        {0x000000, 16, 128, 128},   {0xFFFFFF, 235, 128, 128}, {0xFF0000, 81, 90, 240},
        {0x00FF00, 145, 54, 34},    {0x0000FF, 41, 240, 110},  {0x808080, 126, 128, 128},
        {0xFF000000, 16, 128, 128}, // the top byte carries no colour
    };
    for (const colour_case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.rgb);
        EXPECT_EQ(rgb_to_y(c.rgb), c.y);
        EXPECT_EQ(rgb_to_cb(c.rgb), c.cb);
        EXPECT_EQ(rgb_to_cr(c.rgb), c.cr);
    }
}

TEST(Y4m, HeaderAndFramesInPlanarOrder) {
    const char *path = "y4m_writer_test.y4m";
    std::FILE *f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    // 4x2: a red and a blue 2x2 block, then the same swapped.
    const std::uint32_t a[8] = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF,
                                0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
    const std::uint32_t b[8] = {0xFF0000, 0x0000FF, 0xFFFFFF, 0x000000,
                                0x0000FF, 0xFF0000, 0x000000, 0xFFFFFF};
    y4m_writer y4m(f, 4, 2, 60);
    ASSERT_TRUE(y4m.write_header());
    ASSERT_TRUE(y4m.write_frame(a));
    ASSERT_TRUE(y4m.write_frame(b));
    std::fclose(f);

    const std::string header = "YUV4MPEG2 W4 H2 F60:1 Ip A1:1 C420jpeg XCOLORRANGE=LIMITED\n";
    const std::vector<unsigned char> bytes = file_bytes(path);
    const std::size_t frame = 6 + 8 + 2 + 2;
    ASSERT_EQ(bytes.size(), header.size() + 2 * frame);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + header.size()), header);
    const unsigned char *p = bytes.data() + header.size();
    EXPECT_EQ(std::string(p, p + 6), "FRAME\n");
    const unsigned char want_a[12] = {81, 81, 41, 41, 81, 81, 41, 41, 90, 240, 240, 110};
    EXPECT_EQ(std::memcmp(p + 6, want_a, 12), 0);
    // Chroma of a mixed block is that of its mean colour: half red and half blue in the
    // first block, neutral grey in the second, rounded once.
    p += frame;
    EXPECT_EQ(std::string(p, p + 6), "FRAME\n");
    // Cb = 128 + 224 * (-0.168736 + 0.5) / 2 = 165.1; Cr = 128 + 224 * (0.5 - 0.081312) / 2 =
    // 174.9.
    EXPECT_EQ(p[6 + 8 + 0], 165);
    EXPECT_EQ(p[6 + 8 + 1], 128);
    EXPECT_EQ(p[6 + 8 + 2], 175);
    EXPECT_EQ(p[6 + 8 + 3], 128);
    std::remove(path);
}

namespace {

std::vector<std::uint32_t> pattern(int width, int height) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint32_t>((x * 37 + y * 11) & 255) << 16 |
                static_cast<std::uint32_t>((x ^ y) & 255) << 8 |
                static_cast<std::uint32_t>((x * y) & 255) | 0xAB000000u;
    return p;
}

} // namespace

TEST(SharpScaler, WholeMultiplesAreNearestNeighbour) {
    // Targets that are whole multiples of 320x200 get no smoothing at all.
    const std::vector<std::uint32_t> src = pattern(320, 200);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(testing::Message() << "times " << k);
        const int w = 320 * k;
        const int h = 200 * k;
        sharp_scaler s(320, 200, w, h);
        std::vector<std::uint32_t> dst(static_cast<std::size_t>(w) * h);
        s.scale(src.data(), dst.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(dst[static_cast<std::size_t>(y) * w + x],
                          src[y / k * 320 + x / k] & 0xFFFFFF)
                    << x << "," << y;
    }
}

TEST(SharpScaler, OneMultipleForBothAxes) {
    // At scale 5 (1600x1200) rows could be repeated 6 times, but the picture is enlarged 5
    // times on both axes, as the full-screen display does, and the rows are then stretched
    // from 1000 to 1200: some come out mixed, while columns stay exact.
    const std::vector<std::uint32_t> src = pattern(320, 200);
    sharp_scaler s(320, 200, scaled_width(5), scaled_height(5));
    std::vector<std::uint32_t> dst(1600 * 1200);
    s.scale(src.data(), dst.data());
    int mixed = 0;
    for (int y = 0; y < 1200; ++y) {
        for (int x = 0; x < 1600; x += 5)
            for (int i = 1; i < 5; ++i)
                ASSERT_EQ(dst[y * 1600 + x + i], dst[y * 1600 + x]);
        mixed += dst[y * 1600] != (src[y * 1000 / 1200 / 5 * 320] & 0xFFFFFF);
    }
    EXPECT_GT(mixed, 0);
}

TEST(SharpScaler, OnlyTheFractionalStepIsSmoothed) {
    // At scale 3 (960x720) columns are tripled exactly and rows go 200 -> 600 -> 720: an
    // edge between two rows turns at most two output rows into a mix, where a plain linear
    // stretch of 200 to 720 would blur it over three or four.
    for (int scale = 1; scale <= 4; ++scale) {
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        const int w = scaled_width(scale);
        const int h = scaled_height(scale);
        std::vector<std::uint32_t> src(320 * 200);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                src[y * 320 + x] = (y >= 100) == (x >= 160) ? 0xFFFFFF : 0x000000;
        sharp_scaler s(320, 200, w, h);
        std::vector<std::uint32_t> dst(static_cast<std::size_t>(w) * h);
        s.scale(src.data(), dst.data());
        int mixed_rows = 0;
        for (int y = 0; y < h; ++y) {
            const std::uint32_t left = dst[static_cast<std::size_t>(y) * w];
            const std::uint32_t right = dst[static_cast<std::size_t>(y) * w + w - 1];
            EXPECT_EQ(left, 0xFFFFFF - right) << "row " << y; // the halves mirror each other
            mixed_rows += left != 0 && left != 0xFFFFFF;
            for (int x = 0; x < w; ++x) // columns stay exact: no mixed pixel across
                ASSERT_EQ(dst[static_cast<std::size_t>(y) * w + x], x < w / 2 ? left : right);
            // The left half goes from white to black without a step back.
            if (y > 0) {
                EXPECT_LE(left & 255, dst[static_cast<std::size_t>(y - 1) * w] & 255);
            }
        }
        EXPECT_GE(mixed_rows, 1);
        EXPECT_LE(mixed_rows, 2);
        EXPECT_EQ(dst[0], 0xFFFFFFu);
        EXPECT_EQ(dst[static_cast<std::size_t>(h) * w - 1], 0xFFFFFFu);
        EXPECT_EQ(dst[static_cast<std::size_t>(h - 1) * w], 0u);
    }
}

TEST(SharpScaler, FlatColourStaysExact) {
    std::vector<std::uint32_t> src(320 * 200, 0x12FE8001);
    for (int scale = 1; scale <= 3; ++scale) {
        sharp_scaler s(320, 200, scaled_width(scale), scaled_height(scale));
        std::vector<std::uint32_t> dst(static_cast<std::size_t>(s.dst_width()) * s.dst_height());
        s.scale(src.data(), dst.data());
        for (std::uint32_t p : dst)
            ASSERT_EQ(p, 0x00FE8001u);
    }
}

TEST(SharpScaler, MixesNeighboursByDistance) {
    // Two rows, black over white, to three rows: the middle output row sits exactly
    // between them and the outer ones a sixth of a row from the edge.
    const std::uint32_t src[2] = {0x000000, 0xFFFFFF};
    sharp_scaler s(1, 2, 1, 3);
    std::uint32_t dst[3];
    s.scale(src, dst);
    EXPECT_EQ(dst[0], 0x000000u);
    EXPECT_EQ(dst[1], 0x808080u); // 255 * 128 / 256, rounded
    EXPECT_EQ(dst[2], 0xFFFFFFu);
}

TEST(PngFile, RoundTripsTheColourAndDropsTheTopByte) {
    const std::vector<std::uint32_t> src = pattern(33, 7);
    const char *path = "png_file_test.png";
    ASSERT_TRUE(write_png(path, src.data(), 33, 7));
    std::vector<std::uint32_t> back;
    int w = 0;
    int h = 0;
    ASSERT_TRUE(read_png(path, &back, &w, &h));
    EXPECT_EQ(w, 33);
    EXPECT_EQ(h, 7);
    ASSERT_EQ(back.size(), src.size());
    for (std::size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(back[i], src[i] & 0xFFFFFF) << i;
    // The same pixels give the same file.
    const std::vector<unsigned char> first = file_bytes(path);
    ASSERT_TRUE(write_png(path, src.data(), 33, 7));
    EXPECT_EQ(file_bytes(path), first);
    std::remove(path);
}

TEST(PngFile, FailuresAreReported) {
    const std::uint32_t px[1] = {0};
    EXPECT_FALSE(write_png("no-such-folder/x.png", px, 1, 1));
    EXPECT_FALSE(write_png("/dev/full", px, 1, 1));
    std::vector<std::uint32_t> back;
    int w = 0;
    int h = 0;
    EXPECT_FALSE(read_png("no-such-folder/x.png", &back, &w, &h));
    std::FILE *f = std::fopen("not_a_png.png", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("GIF89a, not a PNG at all", f);
    std::fclose(f);
    EXPECT_FALSE(read_png("not_a_png.png", &back, &w, &h));
    std::remove("not_a_png.png");
}

TEST(Progress, SaysFramesSpeedAndTimeLeft) {
    char line[128];
    format_progress(line, sizeof line, 0, 4800, 60, 0.0);
    EXPECT_STREQ(line, "frame 0/4800");
    format_progress(line, sizeof line, 600, 4800, 60, 1.0);
    EXPECT_STREQ(line, "frame 600/4800  10.0x real time  0:07 left");
    format_progress(line, sizeof line, 60, 4800, 60, 2.0);
    EXPECT_STREQ(line, "frame 60/4800  0.5x real time  2:38 left");
    format_progress(line, sizeof line, 4800, 4800, 60, 4.0);
    EXPECT_STREQ(line, "frame 4800/4800  20.0x real time  0:00 left");
}
