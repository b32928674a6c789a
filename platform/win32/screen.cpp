// The emulated adapter's mode and surface layout.
#include "platform/win32/screen.h"

#include "platform/host/display.h"

namespace {
bool mode_set = false;
screen_mode current = {0, 0, 0};
int pitch_padding = 0;
} // namespace

screen_mode screen_current_mode() {
    if (mode_set)
        return current;
    screen_mode desktop = {0, 0, 0};
    host_display.desktop_mode(&desktop.width, &desktop.height, &desktop.bits);
    return desktop;
}

void screen_set_mode(const screen_mode &mode) {
    current = mode;
    mode_set = true;
}

void screen_restore_desktop_mode() {
    mode_set = false;
}

int screen_pitch_padding() {
    return pitch_padding;
}

void screen_set_pitch_padding(int bytes) {
    pitch_padding = bytes > 0 ? bytes : 0;
}
