#pragma once
// Device contexts, compatible bitmaps and GetDIBits.

#include "platform/win32/types.h"
