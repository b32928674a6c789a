#pragma once
// For tests of failure paths: makes calls of one kind fail, once (as when the system runs
// out of memory) or from now on (as on a system that lacks the resource).

enum class win32_fault {
    none,
    global_alloc,
    global_lock,
    create_stream,
    load_picture,
    create_bitmap,
    create_dc,
    load_ddraw,         // LoadLibraryA("ddraw.dll") finds no such module
    direct_draw_create, // the module exports no DirectDrawCreate
    create_clipper,     // IDirectDraw::CreateClipper cannot make one
};

// One shot: the next such call fails, later ones work again.
void win32_fail_next(win32_fault fault);
// Every such call fails until it is withdrawn (false).
void win32_fail_always(win32_fault fault, bool fail);
// Withdraws every failure, one-shot or standing.
void win32_faults_clear();
// True when the call of this kind is to fail (a one-shot failure is used up by it).
bool win32_should_fail(win32_fault fault);
