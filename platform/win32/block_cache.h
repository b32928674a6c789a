#pragma once
// Inside the platform layer: large pixel blocks for bitmaps and decoded pictures. A few
// freed blocks are kept for the next request of the same size, since pictures come in
// runs of one size; handing them back to the system each time costs more than decoding.

#include <cstddef>

// Null when out of memory. A zeroed block starts all zero bytes.
void *block_take(std::size_t bytes, bool zeroed);
void block_give(void *block, std::size_t bytes);
