#pragma once
// Modules: GetModuleHandleA, LoadLibraryA, GetProcAddress, FreeLibrary; ddraw.dll is built in.

#include "platform/win32/types.h"
