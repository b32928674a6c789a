#include "platform/win32/block_cache.h"

#include <cstdlib>
#include <cstring>

namespace {

// Larger blocks go straight back: keeping them would hold on to too much memory.
const std::size_t largest_kept = std::size_t{16} << 20;

struct kept_block {
    void *block;
    std::size_t bytes;
};
kept_block kept[2] = {};

} // namespace

void *block_take(std::size_t bytes, bool zeroed) {
    for (kept_block &k : kept)
        if (k.block && k.bytes == bytes) {
            void *block = k.block;
            k = {};
            if (zeroed)
                std::memset(block, 0, bytes);
            return block;
        }
    const std::size_t n = bytes ? bytes : 1;
    return zeroed ? std::calloc(n, 1) : std::malloc(n);
}

void block_give(void *block, std::size_t bytes) {
    if (!block)
        return;
    if (bytes > largest_kept) {
        std::free(block);
        return;
    }
    // The older of the two kept blocks makes room.
    std::free(kept[1].block);
    kept[1] = kept[0];
    kept[0] = {block, bytes};
}
