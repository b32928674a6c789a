#pragma once
// The sharp 4:3 scaling done on the processor, for renderers that rasterise on it too (SDL's
// software renderer, OpenGL on llvmpipe): there, a render-target pass and a linearly
// filtered full-screen draw cost several times what the picture needs. The processor writes
// a texture that the renderer then draws with one plain nearest-filter pass: every row of
// the final height (each a source row, or two neighbours blended where a row of the whole
// multiple straddles two final rows), at the source width where the final width is a whole
// multiple of it, else at the final width, blended across the same way.
#include <cstdint>
#include <vector>

// A final row (or column) from source rows (or columns) a and b.
struct sharp_row {
    int a, b;   // source rows
    int weight; // of row b, out of 256
};

struct sharp_plan {
    int src_w = 0, src_h = 0, dst_w = 0, dst_h = 0;
    int multiple = 1; // the largest whole multiple of the source within dst
    int tex_w = 0, tex_h = 0;
    std::vector<sharp_row> rows;    // one per texture row
    std::vector<sharp_row> columns; // one per texture column where tex_w is not src_w
};

// For a src_w x src_h frame shown in dst_w x dst_h (both at least 1).
sharp_plan plan_sharp(int src_w, int src_h, int dst_w, int dst_h);

// Writes the texture for `plan` from x8r8g8b8 pixels (pitches in bytes), as x8r8g8b8 or,
// with swap_red_blue, as x8b8g8r8 (the byte order OpenGL takes without converting).
void run_sharp(const sharp_plan &plan, const void *src, int src_pitch, void *tex, int tex_pitch,
               bool swap_red_blue);
