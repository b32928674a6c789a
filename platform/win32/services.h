#pragma once
// Between the emulated services themselves; not part of the platform the show sees.

#include "platform/win32/types.h"

// The host window that shows a window, or 0 when it is not a window or not shown.
int user_host_window(HWND window);
// Called by USER when a window of ours becomes the active one (1) or stops being it (0).
void ddraw_activation_changed(HWND window, int active);
