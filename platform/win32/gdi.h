#pragma once
// Device contexts, compatible bitmaps and GetDIBits.

#include "platform/win32/types.h"

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90

#define BI_RGB 0L
#define DIB_RGB_COLORS 0

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows top first
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
typedef BITMAPINFOHEADER *LPBITMAPINFOHEADER;

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
typedef BITMAPINFO *LPBITMAPINFO;

// Only the screen's DC (a null window) exists; windows have no DCs of their own here.
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
int WINAPI GetDeviceCaps(HDC dc, int index);
// At the depth of the emulated screen's current mode; the pixels start black.
HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height);
HDC WINAPI CreateCompatibleDC(HDC dc);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// Reads 32-bit BI_RGB rows; the bitmap may stay selected into the DC meanwhile.
int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                     UINT usage);
BOOL WINAPI DeleteDC(HDC dc);
// Fails for a bitmap still selected into a DC.
BOOL WINAPI DeleteObject(HGDIOBJ object);
