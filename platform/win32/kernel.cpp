#include "platform/win32/kernel.h"
#include "platform/win32/faults.h"
#include "platform/win32/counts.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

namespace {

DWORD last_error = NO_ERROR;

struct global_block {
    unsigned char *data; // null when discarded
    SIZE_T size;
    unsigned locks;
    bool moveable;
};

// Every live block by its handle: a movable block's handle is its record, a fixed block's
// handle is its data. Handles that are not here are refused, never dereferenced.
std::unordered_map<HGLOBAL, global_block *> &blocks() {
    static std::unordered_map<HGLOBAL, global_block *> live;
    return live;
}

global_block *find_block(HGLOBAL memory) {
    auto it = blocks().find(memory);
    if (it == blocks().end()) {
        last_error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return it->second;
}

} // namespace

DWORD WINAPI GetLastError() {
    return last_error;
}

void WINAPI SetLastError(DWORD error) {
    last_error = error;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (win32_should_fail(win32_fault::global_alloc)) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    const bool moveable = (flags & GMEM_MOVEABLE) != 0;
    auto *block = new (std::nothrow) global_block{nullptr, 0, 0, moveable};
    if (!block) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (bytes > 0 || !moveable) {
        // A fixed block always has storage, since its handle is its address.
        block->data =
            static_cast<unsigned char *>((flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                                                 : std::malloc(bytes ? bytes : 1));
        if (!block->data) {
            delete block;
            last_error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        block->size = bytes;
    }
    HGLOBAL handle = moveable ? static_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(block->data);
    try {
        blocks().emplace(handle, block);
    } catch (const std::bad_alloc &) {
        std::free(block->data);
        delete block;
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
    global_block *block = find_block(memory);
    if (!block || !block->data || win32_should_fail(win32_fault::global_lock))
        return nullptr;
    if (block->moveable)
        ++block->locks;
    return block->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
    global_block *block = find_block(memory);
    if (!block)
        return FALSE;
    if (block->locks == 0) {
        last_error = ERROR_NOT_LOCKED;
        return FALSE;
    }
    if (--block->locks == 0) {
        last_error = NO_ERROR;
        return FALSE;
    }
    return TRUE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    global_block *block = find_block(memory);
    if (!block)
        return memory;
    blocks().erase(memory);
    std::free(block->data);
    delete block;
    return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL memory) {
    global_block *block = find_block(memory);
    return block ? block->size : 0;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags) {
    global_block *block = find_block(memory);
    if (!block)
        return nullptr;
    // Only a movable, unlocked block may move; that is all a growing stream needs.
    if (!block->moveable || block->locks > 0) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (bytes == 0) {
        std::free(block->data);
        block->data = nullptr;
        block->size = 0;
        return memory;
    }
    auto *data = static_cast<unsigned char *>(std::realloc(block->data, bytes));
    if (!data) {
        last_error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if ((flags & GMEM_ZEROINIT) && bytes > block->size)
        std::memset(data + block->size, 0, bytes - block->size);
    block->data = data;
    block->size = bytes;
    return memory;
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
    // Neither negation can overflow: the product of two ints fits in 63 bits.
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t divisor_signed = denominator;
    const bool negative = (product < 0) != (divisor_signed < 0);
    const auto magnitude = static_cast<std::uint64_t>(product < 0 ? -product : product);
    const auto divisor =
        static_cast<std::uint64_t>(divisor_signed < 0 ? -divisor_signed : divisor_signed);
    if (divisor == 0)
        return -1;
    const std::uint64_t quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > (negative ? 0x80000000u : 0x7FFFFFFFu))
        return -1;
    return negative ? static_cast<int>(0 - quotient) : static_cast<int>(quotient);
}

int win32_live_global_blocks() {
    return static_cast<int>(blocks().size());
}
