#pragma once
// Global memory and MulDiv.

#include "platform/win32/types.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define NO_ERROR 0L
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_NOT_LOCKED 158L

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

// A movable block of zero bytes is created discarded: it has a handle but cannot be locked.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL memory);
// Non-zero while the block is still locked; 0 with NO_ERROR once the last lock is gone.
BOOL WINAPI GlobalUnlock(HGLOBAL memory);
// Null on success, the handle itself on failure.
HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
SIZE_T WINAPI GlobalSize(HGLOBAL memory);
// Resizes a movable block that is not locked; the handle stays the same.
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags);

// number * numerator / denominator through a 64-bit product, rounded to the nearest integer
// with halves away from zero; -1 when the denominator is 0 or the result does not fit.
int WINAPI MulDiv(int number, int numerator, int denominator);
