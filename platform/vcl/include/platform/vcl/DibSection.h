#pragma once
// Device-independent bitmaps of the graphics device interface: loading one from the program's
// compiled-in resources or from a file, asking its size, depth and colour table, selecting it
// into a memory device context and copying it onto another context.
//
// Resources are the Qt resources under ":/bitmaps/"; a resource name matches a file name there
// whatever the case of its letters, as resource names on the platform do.

#include "platform/vcl/Gdi.h"

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace vcl {

// A decoded bitmap: its pixels (Indexed8 with the file's colour table for 1, 4 and 8 bits,
// RGB32 otherwise) and the depth the file had.
class TDibSection {
public:
    QImage Image;
    WORD BitCount = 0;
};

// The largest side accepted; larger bitmaps are refused rather than allocated.
inline constexpr int kMaxDibSide = 16384;

// Decodes a whole BMP file held in memory: every form DecodeBmpPicture reads, with its rules and
// kMaxDibSide. False (Dib untouched) for anything else.
bool DecodeDib(const std::uint8_t* Data, std::size_t Size, TDibSection& Dib);

} // namespace vcl

using HBITMAP = vcl::TDibSection*;
using HGDIOBJ = void*;

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    LPVOID bmBits = nullptr;
};

struct RGBQUAD {
    BYTE rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;
inline constexpr DWORD SRCCOPY = 0x00CC0020;

// A bitmap resource named Name (LR_LOADFROMFILE: the file Name) as an HBITMAP, or nullptr when
// there is none or it is no bitmap this decoder reads. Only IMAGE_BITMAP at its own size (cx
// and cy 0).
HANDLE LoadImageA(HINSTANCE Instance, LPCSTR Name, UINT Type, int cx, int cy, UINT Flags);
// Bitmaps only: fills a BITMAP (bmBits stays nullptr) and returns its size, 0 on failure.
int GetObjectA(HANDLE Object, int Size, LPVOID Out);
BOOL DeleteObject(HBITMAP Bitmap);

// A memory device context with no bitmap selected.
HDC CreateCompatibleDC(HDC Dc);
// Makes Bitmap the context's pixels. The previous selection is not tracked: returns nullptr.
HBITMAP SelectObject(HDC Dc, HBITMAP Bitmap);
// The colour table of the bitmap selected into Dc, from entry Start; returns how many entries
// were copied (0 for a bitmap without one).
UINT GetDIBColorTable(HDC Dc, UINT Start, UINT Count, RGBQUAD* Colors);
// SRCCOPY only: copies Src's (XSrc, YSrc, Width, Height) onto Dst at (X, Y).
BOOL BitBlt(HDC Dst, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, DWORD Rop);
