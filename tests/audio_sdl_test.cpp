// The audio library on the real SDL output: it fails cleanly where SDL has no device, and
// its position follows a device that plays in real time (SDL's dummy driver).
#include "platform/bass.h"

#include "platform/audio/reset.h"
#include "tests/support/tone_mp3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

TEST(SdlAudio, InitFailsCleanlyWhenNoDeviceCanBeOpened) {
    // An audio driver SDL does not have; then one SDL has whose device cannot be opened.
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_Start(), 0);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-directory/ulvo.raw", 1);
    EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_Start(), 0);

    // And nothing is left half open: a device that exists opens afterwards.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    bass_free_all();
}

TEST(SdlAudio, PositionFollowsADevicePlayingInRealTime) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string path = scratch_path("sdl_audio.mp3");
    ASSERT_TRUE(write_file(path, encode_tone_mp3({44100, 2, 1000, 0.5})));
    ASSERT_EQ(BASS_Init(1, 44100, 256, nullptr, nullptr), 1);
    const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(BASS_Start(), 1);
    ASSERT_EQ(BASS_StreamPlay(stream, 1, 0), 1);
    EXPECT_EQ(BASS_ChannelGetPosition(stream + 1), static_cast<QWORD>(-1));

    // Until it has played to its end (half a second; a generous bound on a loaded machine):
    // never backwards, in whole sample frames, and at most its length.
    QWORD last = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (last < 88200 && std::chrono::steady_clock::now() < give_up) {
        const QWORD now = BASS_ChannelGetPosition(stream);
        ASSERT_GE(now, last);
        ASSERT_LE(now, 88200u);
        ASSERT_EQ(now % 4, 0u);
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(last, 88200u);
    bass_free_all();
    std::remove(path.c_str());
}

} // namespace
