#pragma once
// DirectDraw: the display object, surfaces, clipper.

#include "platform/win32/types.h"
