#pragma once
// Modules: GetModuleHandleA, LoadLibraryA, GetProcAddress, FreeLibrary; ddraw.dll is built in.

#include "platform/win32/types.h"

// An exported function as GetProcAddress returns it; callers cast it to its real type.
typedef INT_PTR(WINAPI *FARPROC)();

// The program's own module for a null name, otherwise an already loaded module.
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
HMODULE WINAPI LoadLibraryA(LPCSTR name);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
BOOL WINAPI FreeLibrary(HMODULE module);
