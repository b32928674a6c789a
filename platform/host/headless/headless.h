#pragma once
// The headless host's controls, for tests: choose what the emulated adapter offers,
// script input, and read back what was presented.

struct headless_config {
    int desktop_width = 1024;
    int desktop_height = 768;
    int desktop_bits = 32; // 32, 24, 16, 15, or 8 (palette-indexed)
};

headless_config headless_default_config();
// Takes effect for everything the platform layer asks the host from now on.
void headless_configure(const headless_config &config);
