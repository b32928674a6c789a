#pragma once
// Global memory and MulDiv.

#include "platform/win32/types.h"
