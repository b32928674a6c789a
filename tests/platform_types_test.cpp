// The emulated platform keeps Windows' type widths, and its screen follows the host.
#include "platform/winapi.h"
#include "platform/host/headless/display_control.h"
#include "platform/win32/screen.h"

#include <gtest/gtest.h>

TEST(PlatformTypes, KeepWindowsWidths) {
    EXPECT_EQ(sizeof(BYTE), 1u);
    EXPECT_EQ(sizeof(WORD), 2u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(HRESULT), 4u);
    EXPECT_EQ(sizeof(WPARAM), sizeof(void *));
    EXPECT_EQ(sizeof(LPARAM), sizeof(void *));
    EXPECT_EQ(sizeof(RECT), 16u);
    EXPECT_EQ(sizeof(GUID), 16u);
}

TEST(PlatformTypes, FailureResultsAreNegative) {
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_TRUE(FAILED(E_NOINTERFACE));
    EXPECT_TRUE(SUCCEEDED(S_OK));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_LT(E_OUTOFMEMORY, 0);
}

// The descriptions keep every field of the system's, so that their sizes are those that
// dwSize carries on 64-bit Windows.
TEST(PlatformLayouts, HaveTheSystemsSizes) {
    EXPECT_EQ(sizeof(DDPIXELFORMAT), 32u);
    EXPECT_EQ(sizeof(DDSURFACEDESC), sizeof(void *) == 8 ? 120u : 108u);
    EXPECT_EQ(sizeof(MSG), sizeof(void *) == 8 ? 48u : 28u);
    EXPECT_EQ(sizeof(WNDCLASSA), sizeof(void *) == 8 ? 72u : 40u);
}

TEST(EmulatedScreen, StartsAtTheDesktopModeAndFollowsModeChanges) {
    headless_config config;
    config.desktop_width = 800;
    config.desktop_height = 600;
    config.desktop_bits = 16;
    headless_configure(config);

    screen_mode mode = screen_current_mode();
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(mode.height, 600);
    EXPECT_EQ(mode.bits, 16);

    screen_set_mode({320, 200, 32});
    mode = screen_current_mode();
    EXPECT_EQ(mode.width, 320);
    EXPECT_EQ(mode.bits, 32);

    screen_restore_desktop_mode();
    EXPECT_EQ(screen_current_mode().bits, 16);
    headless_configure(headless_default_config());
}
