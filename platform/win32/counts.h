#pragma once
// What tests count in the Win32 layer: the platform objects alive right now, to check that
// every path releases what it acquired, and what the display library asked of DirectDraw.

struct win32_live_objects {
    int global_blocks;
    int streams;
    int pictures;
    int dcs; // memory DCs and screen DCs not yet released
    int bitmaps;
};

int win32_live_global_blocks();
int win32_live_streams();
int win32_live_pictures();
int win32_live_dcs();
int win32_live_bitmaps();

inline win32_live_objects win32_live_object_counts() {
    return {win32_live_global_blocks(), win32_live_streams(), win32_live_pictures(),
            win32_live_dcs(), win32_live_bitmaps()};
}

inline bool operator==(const win32_live_objects &a, const win32_live_objects &b) {
    return a.global_blocks == b.global_blocks && a.streams == b.streams &&
           a.pictures == b.pictures && a.dcs == b.dcs && a.bitmaps == b.bitmaps;
}

// DirectDraw's activity since the last reset, and its objects (the DirectDraw object,
// surfaces and clippers) not yet released.
struct win32_ddraw_counts {
    int locks, unlocks, flips, blits;
    int live_objects;
};

win32_ddraw_counts win32_ddraw_count();
// Back to no activity; live objects stay counted.
void win32_ddraw_count_reset();
