#pragma once
// Memory streams and OleLoadPicture with its IPicture.

#include "platform/win32/types.h"
