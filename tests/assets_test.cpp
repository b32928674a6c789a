// Data files and pictures, through the whole Windows picture path of the platform layer.
#include "assets/assets.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/faults.h"
#include "platform/win32/counts.h"
#include "platform/win32/screen.h"
#include "tests/picture_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

namespace {

// Everything a test loads, with the platform objects alive before and after.
class Assets : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(data.ready());
        screen_set_mode({320, 200, 32});
        before = win32_live_object_counts();
    }
    void TearDown() override {
        EXPECT_TRUE(win32_live_object_counts() == before) << "a platform object outlived a call";
        screen_restore_desktop_mode();
    }

    struct result {
        int ok;
        std::uint32_t *pixels;
        int width, height;
    };
    // Loads with sentinels in every output, to see which ones the call touched.
    result load(const std::string &name) {
        result r = {-1, reinterpret_cast<std::uint32_t *>(&sentinel), -7, -7};
        r.ok = load_image(name.c_str(), &r.pixels, &r.width, &r.height);
        return r;
    }
    void expect_no_picture(const result &r) {
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.pixels, nullptr);
        EXPECT_EQ(r.width, 0);
        EXPECT_EQ(r.height, 0);
    }
    void expect_untouched(const result &r) {
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.pixels, reinterpret_cast<std::uint32_t *>(&sentinel));
        EXPECT_EQ(r.width, -7);
        EXPECT_EQ(r.height, -7);
    }
    static std::vector<std::uint32_t> take(const result &r) {
        std::vector<std::uint32_t> v(r.pixels,
                                     r.pixels + static_cast<std::size_t>(r.width) * r.height);
        std::free(r.pixels);
        return v;
    }

    data_folder data;
    win32_live_objects before{};
    int sentinel = 0;
};

TEST_F(Assets, DataFileHoldsTheWholeFile) {
    const bytes content = {0, 1, 2, 0xFF, 'x', 0};
    ASSERT_TRUE(data.write("f.bin", content));
    data_file *f = load_data_file("f.bin");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->size, 6);
    EXPECT_EQ(std::memcmp(f->bytes, content.data(), 6), 0);
    EXPECT_EQ(free_data_file(f), 0);

    ASSERT_TRUE(data.write("empty", {}));
    f = load_data_file("empty");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 0);
    free_data_file(f);

    EXPECT_EQ(load_data_file("missing"), nullptr);
}

TEST_F(Assets, DataFileRefusesWhatIsNotAWholeReadableFile) {
    // A folder.
    std::filesystem::create_directory(data.path("folder"));
    EXPECT_EQ(load_data_file("folder"), nullptr);

    // A name too long for the path: the truncated path exists and must not be opened instead.
    const std::string stem(250, 'a');
    ASSERT_TRUE(data.write(stem, {1, 2, 3}));
    data_file *stem_file = load_data_file(stem.c_str());
    EXPECT_NE(stem_file, nullptr) << "the stem itself opens";
    free_data_file(stem_file);
    EXPECT_EQ(load_data_file((stem + "b").c_str()), nullptr);

    // A size beyond the 32-bit count (sparse, so it takes no room).
    {
        std::FILE *f = std::fopen(data.path("huge").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), off_t{1} << 31), 0);
        std::fclose(f);
        EXPECT_EQ(load_data_file("huge"), nullptr);
    }

    // A pipe cannot tell its size. Held open for writing, so that opening it does not block.
    ASSERT_EQ(mkfifo(data.path("pipe").c_str(), 0600), 0);
    const int writer = open(data.path("pipe").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "abc", 3), 3);
    EXPECT_EQ(load_data_file("pipe"), nullptr);
    close(writer);
}

TEST_F(Assets, DataFileRefusesAShortRead) {
    // Kernel attribute files report a whole page but hold a few bytes.
    const char *candidates[] = {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/power/state",
                                "/sys/kernel/uevent_seqnum"};
    const char *target = nullptr;
    for (const char *c : candidates) {
        struct stat s;
        if (stat(c, &s) == 0 && s.st_size > 0 && access(c, R_OK) == 0) {
            target = c;
            break;
        }
    }
    if (!target)
        GTEST_SKIP() << "no file here reports more bytes than it holds";
    std::filesystem::create_symlink(target, data.path("short"));
    EXPECT_EQ(load_data_file("short"), nullptr);
}

TEST_F(Assets, FailuresBeforeAnyPictureLeaveTheOutputsAlone) {
    expect_untouched(load("missing.jpg"));
    std::filesystem::create_directory(data.path("folder.jpg"));
    expect_untouched(load("folder.jpg"));
}

TEST_F(Assets, FilesThatAreNoPictureGiveNone) {
    bytes jpeg = make_jpeg(32, 24, jpeg_kind::baseline);
    bytes gif = make_gif({8, 8, {0x000000, 0xFFFFFF}, {{0, 0, 8, 8, bytes(64, 1), false, -1}}});
    ASSERT_FALSE(jpeg.empty());
    ASSERT_FALSE(gif.empty());
    const bytes bmp = make_bmp(4, 4, test_pattern(4, 4));

    bytes jpeg_bad_precision = jpeg; // a start-of-frame that asks for 9-bit samples
    for (std::size_t i = 2; i + 4 < jpeg_bad_precision.size(); ++i)
        if (jpeg_bad_precision[i] == 0xFF && jpeg_bad_precision[i + 1] == 0xC0) {
            jpeg_bad_precision[i + 4] = 9;
            break;
        }
    bytes gif_bad_code_size = gif; // the LZW minimum code size after the image descriptor
    for (std::size_t i = 13 + 6; i + 10 < gif_bad_code_size.size(); ++i)
        if (gif_bad_code_size[i] == 0x2C) {
            gif_bad_code_size[i + 10] = 0x0F;
            break;
        }

    const struct {
        const char *name;
        bytes content;
    } cases[] = {
        {"empty.jpg", {}},
        {"text.jpg", {'h', 'e', 'l', 'l', 'o'}},
        {"png.gif", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}},
        {"magic-only.jpg", {0xFF, 0xD8, 0xFF}},
        {"magic-only.gif", {'G', 'I', 'F', '8', '9', 'a'}},
        {"magic-only.bmp", {'B', 'M'}},
        {"truncated.jpg", bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2)},
        {"truncated.gif", bytes(gif.begin(), gif.begin() + gif.size() - 6)},
        {"corrupted.jpg", jpeg_bad_precision},
        {"corrupted.gif", gif_bad_code_size},
        {"truncated.bmp", bytes(bmp.begin(), bmp.begin() + 60)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(data.write(c.name, c.content));
        expect_no_picture(load(c.name));
        EXPECT_TRUE(win32_live_object_counts() == before);
    }
}

TEST_F(Assets, PicturesBeyondTheSizeLimitGiveNone) {
    // Only the headers are large: the decoders must refuse before allocating.
    auto gif_of_screen = [](int w, int h) {
        return make_gif({w, h, {0x000000, 0xFFFFFF}, {{0, 0, 1, 1, {1}, false, -1}}});
    };
    bytes wide_jpeg = make_jpeg(16, 8, jpeg_kind::baseline);
    for (std::size_t i = 2; i + 8 < wide_jpeg.size(); ++i)
        if (wide_jpeg[i] == 0xFF && wide_jpeg[i + 1] == 0xC0) {
            wide_jpeg[i + 7] = 16385 >> 8; // the width, big-endian
            wide_jpeg[i + 8] = 16385 & 0xFF;
            break;
        }
    bytes wide_bmp = make_bmp(1, 1, {0});
    put_le(wide_bmp, 18, 16385, 4);
    bytes heavy_bmp = make_bmp(1, 1, {0});
    put_le(heavy_bmp, 18, 16384, 4);
    put_le(heavy_bmp, 22, static_cast<std::uint32_t>(-4097), 4);

    const struct {
        const char *name;
        bytes content;
    } cases[] = {
        {"wide.gif", gif_of_screen(16385, 1)},
        {"tall.gif", gif_of_screen(1, 16385)},
        {"heavy.gif", gif_of_screen(16384, 4097)}, // just over 256 MiB of pixels
        {"wide.jpg", wide_jpeg},
        {"wide.bmp", wide_bmp},
        {"heavy.bmp", heavy_bmp},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.content.empty());
        ASSERT_TRUE(data.write(c.name, c.content));
        expect_no_picture(load(c.name));
    }

    // At the limit a picture still loads.
    ASSERT_TRUE(data.write("limit.gif", gif_of_screen(16384, 1)));
    result r = load("limit.gif");
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.width, 16384);
    EXPECT_EQ(r.height, 1);
    std::free(r.pixels);
}

TEST_F(Assets, EachPlatformFailureGivesNoPictureAndReleasesTheRest) {
    ASSERT_TRUE(data.write(
        "ok.gif", make_gif({4, 2, {0x000000, 0x102030}, {{0, 0, 4, 2, bytes(8, 1), false, -1}}})));
    const struct {
        const char *what;
        win32_fault fault;
    } cases[] = {
        {"global memory", win32_fault::global_alloc}, {"its lock", win32_fault::global_lock},
        {"the stream", win32_fault::create_stream},   {"the picture", win32_fault::load_picture},
        {"the bitmap", win32_fault::create_bitmap},   {"the memory DC", win32_fault::create_dc},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        win32_fail_next(c.fault);
        expect_no_picture(load("ok.gif"));
        EXPECT_FALSE(win32_should_fail(c.fault)) << "the failure was not reached";
        EXPECT_TRUE(win32_live_object_counts() == before);
    }
    result r = load("ok.gif");
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(take(r), std::vector<std::uint32_t>(8, 0x102030));
}

TEST_F(Assets, JpegMatchesTurboJpegsOwnDecode) {
    const struct {
        const char *name;
        int width, height;
        jpeg_kind kind;
    } cases[] = {
        {"baseline.jpg", 320, 200, jpeg_kind::baseline},
        {"progressive.jpg", 33, 17, jpeg_kind::progressive},
        {"grey.jpg", 20, 30, jpeg_kind::greyscale},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const bytes jpeg = make_jpeg(c.width, c.height, c.kind);
        ASSERT_TRUE(data.write(c.name, jpeg));
        int w = 0, h = 0;
        const std::vector<std::uint32_t> expected = turbojpeg_decode(jpeg, &w, &h);
        ASSERT_FALSE(expected.empty());
        result r = load(c.name);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.width, c.width);
        EXPECT_EQ(r.height, c.height);
        EXPECT_EQ(take(r), expected);
    }
}

TEST_F(Assets, GifPixelsAreExact) {
    const std::vector<std::uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    auto indexes = [](int w, int h) {
        std::vector<std::uint8_t> v(static_cast<std::size_t>(w) * h);
        for (int i = 0; i < w * h; ++i)
            v[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(1 + (i * 7 + i / w) % 4);
        return v;
    };
    const int w = 13, h = 11;
    gif_frame plain = {0, 0, w, h, indexes(w, h), false, -1};
    gif_frame interlaced = plain;
    interlaced.interlaced = true;
    gif_frame transparent = plain;
    transparent.transparent = 2; // green pixels show what was there: black
    gif_frame second = {0, 0, w, h, std::vector<std::uint8_t>(w * h, 4), false, -1};
    gif_frame inset = {3, 2, 5, 4, indexes(5, 4), false, -1};

    const struct {
        const char *name;
        gif_spec spec;
        const char *magic;
    } cases[] = {
        {"87a.gif", {w, h, palette, {plain}}, "GIF87a"},
        {"interlaced.gif", {w, h, palette, {interlaced}}, "GIF87a"},
        {"transparent.gif", {w, h, palette, {transparent}}, "GIF89a"},
        {"animated.gif", {w, h, palette, {transparent, second}}, "GIF89a"},
        {"inset.gif", {w, h, palette, {inset}}, "GIF87a"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const bytes gif = make_gif(c.spec);
        ASSERT_GE(gif.size(), 6u);
        ASSERT_EQ(std::string(gif.begin(), gif.begin() + 6), c.magic);
        ASSERT_TRUE(data.write(c.name, gif));

        // The first frame on a black bitmap; outside it nothing is drawn.
        std::vector<std::uint32_t> expected(static_cast<std::size_t>(w) * h, 0);
        const gif_frame &f = c.spec.frames[0];
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const int index = f.indexes[static_cast<std::size_t>(y) * f.width + x];
                if (index != f.transparent)
                    expected[static_cast<std::size_t>(f.top + y) * w + f.left + x] =
                        palette[static_cast<std::size_t>(index)];
            }
        result r = load(c.name);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
        EXPECT_EQ(take(r), expected);
    }
}

TEST_F(Assets, BmpPixelsAreExact) {
    for (bool top_down : {false, true}) {
        SCOPED_TRACE(top_down ? "top down" : "bottom up");
        const int w = 5, h = 3; // 15-byte rows, padded to 16
        const std::vector<std::uint32_t> pixels = test_pattern(w, h);
        ASSERT_TRUE(data.write("p.bmp", make_bmp(w, h, pixels, top_down)));
        result r = load("p.bmp");
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
        EXPECT_EQ(take(r), pixels);
    }
}

TEST_F(Assets, TheFormatComesFromTheContentNotTheName) {
    const std::vector<std::uint32_t> pixels = test_pattern(4, 4);
    ASSERT_TRUE(data.write("really-a-bmp.jpg", make_bmp(4, 4, pixels)));
    result r = load("really-a-bmp.jpg");
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(take(r), pixels);
}

TEST_F(Assets, FrameSizedPictureWithoutSizeOutputs) {
    ASSERT_TRUE(data.write(
        "frame.gif",
        make_gif(
            {320, 200, {0x000000, 0xABCDEF}, {{0, 0, 320, 200, bytes(64000, 1), false, -1}}})));
    std::uint32_t *pixels = nullptr;
    ASSERT_EQ(load_image("frame.gif", &pixels, nullptr, nullptr), 1);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0xABCDEFu);
    EXPECT_EQ(pixels[63999], 0xABCDEFu);
    std::free(pixels);

    int w = 0, h = 0;
    ASSERT_EQ(load_image("frame.gif", &pixels, &w, nullptr), 1);
    EXPECT_EQ(w, 320);
    std::free(pixels);
    ASSERT_EQ(load_image("frame.gif", &pixels, nullptr, &h), 1);
    EXPECT_EQ(h, 200);
    std::free(pixels);
}

TEST_F(Assets, PicturesCarryTheScreenDepthsPrecision) {
    const std::vector<std::uint32_t> colours = {0xFFFFFF, 0x123456, 0x808080, 0x070307};
    ASSERT_TRUE(data.write("c.bmp", make_bmp(4, 1, colours)));
    const struct {
        int bits;
        std::uint32_t mask; // what survives a round trip through the bitmap
    } cases[] = {{32, 0xFFFFFF}, {24, 0xFFFFFF}, {16, 0xF8FCF8}, {15, 0xF8F8F8}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        screen_set_mode({320, 200, c.bits});
        result r = load("c.bmp");
        ASSERT_EQ(r.ok, 1);
        std::vector<std::uint32_t> expected;
        for (std::uint32_t p : colours)
            expected.push_back(p & c.mask);
        EXPECT_EQ(take(r), expected);
    }
}

} // namespace
