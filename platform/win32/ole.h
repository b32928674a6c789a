#pragma once
// Memory streams and OleLoadPicture with its IPicture.

#include "platform/win32/types.h"
#include "platform/win32/gdi.h"

struct LARGE_INTEGER {
    LONGLONG QuadPart;
};
struct ULARGE_INTEGER {
    ULONGLONG QuadPart;
};

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070)
#define CTL_E_INVALIDPICTURE ((HRESULT)0x800A01E1)

struct ISequentialStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG bytes, ULONG *read) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void *buffer, ULONG bytes, ULONG *written) = 0;

  protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                           ULARGE_INTEGER *position) = 0;

  protected:
    ~IStream() = default;
};
typedef IStream *LPSTREAM;

// A stream over a global block (a new one when memory is null). With delete_on_release the
// stream frees the block when its last reference goes.
HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL memory, BOOL delete_on_release, LPSTREAM *stream);

// Picture sizes and source coordinates are in HIMETRIC, 2540 to the inch, with y growing
// upwards from the picture's bottom edge.
typedef LONG OLE_XPOS_HIMETRIC;
typedef LONG OLE_YPOS_HIMETRIC;
typedef LONG OLE_XSIZE_HIMETRIC;
typedef LONG OLE_YSIZE_HIMETRIC;

struct IPicture : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC *width) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC *height) = 0;
    // Stretches the source rectangle to (x, y, cx, cy) on the DC's bitmap; a source with a
    // negative height, starting at the top edge, draws the picture upright.
    virtual HRESULT STDMETHODCALLTYPE Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy,
                                             OLE_XPOS_HIMETRIC x_src, OLE_YPOS_HIMETRIC y_src,
                                             OLE_XSIZE_HIMETRIC cx_src, OLE_YSIZE_HIMETRIC cy_src,
                                             LPCRECT bounds) = 0;

  protected:
    ~IPicture() = default;
};
typedef IPicture *LPPICTURE;

extern const IID IID_IUnknown;
extern const IID IID_ISequentialStream;
extern const IID IID_IStream;
extern const IID IID_IPicture;

// Reads size bytes from the stream's position and decodes them, telling the format from
// the content: JPEG, GIF (its first frame) or BMP.
HRESULT WINAPI OleLoadPicture(LPSTREAM stream, LONG size, BOOL run_mode, REFIID iid,
                              LPVOID *object);
