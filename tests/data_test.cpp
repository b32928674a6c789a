// The default show in data/: every file is what tools/make-data writes, byte for byte, and
// the show's own loaders read all of it: 30 pictures of 320x200 and over 100 s of music.
// Runs in the repository root, where the show finds data/.
#include "assets/assets.h"
#include "platform/audio/reset.h"
#include "platform/bass.h"
#include "platform/host/headless/audio_control.h"
#include "platform/win32/screen.h"
#include "tools/make-data/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string picture_name(int slot) // slot 29 is the title, as in the show's table
{
    if (slot == md::picture_count)
        return "ulvo.gif";
    char name[16];
    std::snprintf(name, sizeof name, "%02i.jpg", slot);
    return name;
}

std::vector<std::string> show_files() {
    std::vector<std::string> names;
    for (int slot = 0; slot <= md::picture_count; ++slot)
        names.push_back(picture_name(slot));
    names.push_back("ulvo.mp3");
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listing(const fs::path &dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<char> contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DataFiles, AreWhatMakeDataWrites) {
    std::string dir = (fs::path(testing::TempDir()) / "ulvo_make_data_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string command = "'" ULVO_MAKE_DATA "' '" + dir + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::vector<std::string> names = show_files();
    EXPECT_EQ(listing(dir), names) << "make-data writes the show's files and nothing else";
    EXPECT_EQ(listing("data"), names) << "data/ holds the show's files and nothing else";
    for (const std::string &name : names) {
        const std::vector<char> made = contents(fs::path(dir) / name);
        EXPECT_FALSE(made.empty()) << name;
        EXPECT_TRUE(made == contents(fs::path("data") / name))
            << "data/" << name << " is not what make-data writes: regenerate data/";
    }
    fs::remove_all(dir);
}

// Mean difference per channel between the decoded frame and the picture as drawn.
double mean_difference(const std::uint32_t *pixels, const std::vector<std::uint8_t> &rgb) {
    long sum = 0;
    for (std::size_t i = 0; i < rgb.size() / 3; ++i)
        for (int c = 0; c < 3; ++c)
            sum += std::abs((int)((pixels[i] >> (16 - 8 * c)) & 0xFF) - rgb[i * 3 + c]);
    return (double)sum / (double)rgb.size();
}

TEST(DataFiles, PicturesLoadAs320x200FramesOfWhatWasDrawn) {
    screen_set_mode({320, 200, 32}); // as the show has it while it loads
    for (int slot = 0; slot <= md::picture_count; ++slot) {
        const std::string name = picture_name(slot);
        std::uint32_t *pixels = nullptr;
        int width = 0, height = 0;
        ASSERT_EQ(load_image(name.c_str(), &pixels, &width, &height), 1) << name;
        EXPECT_EQ(width, 320) << name;
        EXPECT_EQ(height, 200) << name;
        if (width == 320 && height == 200) {
            std::vector<std::uint8_t> rgb;
            if (slot == md::picture_count)
                md::draw_title(rgb);
            else
                md::draw_picture(slot, rgb);
            // JPEG at quality 92 stays within about 4 levels on average here, the title's
            // 256 colours within about 7; a swapped channel or a flipped picture is far above.
            EXPECT_LT(mean_difference(pixels, rgb), slot == md::picture_count ? 10.0 : 6.0) << name;
        }
        std::free(pixels);
    }
    screen_restore_desktop_mode();
}

struct heard_audio {
    std::uint64_t bytes = 0;
    int peak = 0;
};

void listen(void *user, const unsigned char *bytes, std::size_t count) {
    auto *heard = static_cast<heard_audio *>(user);
    heard->bytes += count;
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        int s = (std::int16_t)(bytes[i] | (bytes[i + 1] << 8));
        heard->peak = std::max(heard->peak, std::abs(s));
    }
}

TEST(DataFiles, MusicPlaysForOver100SecondsWithoutClipping) {
    constexpr QWORD second = 176400;
    heard_audio heard;
    bass_free_all();
    headless_audio_set_available(true);
    headless_audio_set_sink(listen, &heard);
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream = BASS_StreamCreateFile(0, "data/ulvo.mp3", 0, 0, 0);
    ASSERT_NE(stream, 0u);
    BASS_Start();
    BASS_StreamPlay(stream, 1, 0);

    // Play in steps of a second until the position stops: that is the music's length.
    QWORD position = 0, last = (QWORD)-1;
    for (int step = 0; step < 200 && position != last; ++step) {
        last = position;
        headless_audio_advance(second);
        position = BASS_ChannelGetPosition(stream);
    }
    EXPECT_EQ(position, last) << "the music did not end within 200 s";
    EXPECT_GE(position, 100 * second);
    EXPECT_LE(position, 120 * second);
    EXPECT_GT(heard.peak, 16384) << "the music is nearly silent";
    EXPECT_LT(heard.peak, 32767) << "the music reaches full scale";

    headless_audio_set_sink(nullptr, nullptr);
    bass_free_all();
}

} // namespace
