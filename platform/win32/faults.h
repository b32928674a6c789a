#pragma once
// For tests of failure paths: makes the next call of one kind fail as it would when the
// system runs out of memory.

enum class win32_fault {
    none,
    global_alloc,
    global_lock,
    create_stream,
    load_picture,
    create_bitmap,
    create_dc,
};

// One shot: the next such call fails, later ones work again.
void win32_fail_next(win32_fault fault);
// True (once) when the call of this kind is the one to fail.
bool win32_should_fail(win32_fault fault);
