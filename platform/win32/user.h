#pragma once
// Windows, window classes, the message queue, the cursor, the key state, the message box.

#include "platform/win32/types.h"
