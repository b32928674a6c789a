#pragma once
// The one header through which show/, fb/ and assets/ see the Win32, DirectDraw, GDI
// and OLE names. On Windows these are the system's own; elsewhere they are our own
// declarations of the subset the show uses, implemented in platform/win32/.

#ifdef _WIN32
#include <windows.h>
#include <ddraw.h>
#include <ole2.h>
#include <olectl.h>
#else
#include "platform/win32/types.h"
#include "platform/win32/kernel.h"
#include "platform/win32/module.h"
#include "platform/win32/user.h"
#include "platform/win32/gdi.h"
#include "platform/win32/ole.h"
#include "platform/win32/ddraw.h"
#endif
