#include "platform/host/headless/headless.h"

#include "platform/host/display.h"

namespace {

headless_config config = headless_default_config();

void headless_desktop_mode(int *width, int *height, int *bits) {
    *width = config.desktop_width;
    *height = config.desktop_height;
    *bits = config.desktop_bits;
}

} // namespace

headless_config headless_default_config() { return headless_config{}; }

void headless_configure(const headless_config &c) { config = c; }

const host_display_api host_display = {
    headless_desktop_mode,
};
