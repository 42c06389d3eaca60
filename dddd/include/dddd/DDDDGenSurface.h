#pragma once
// One surface of a display component with its size and a copy of its description. The wrapper
// never releases its surface: the surface goes with the component's DirectDraw object.

#include "platform/ddraw/DDraw.h"
#include "platform/rtl/Stream.h"

#include <string>

namespace dddd {

class TDDDD;

class TDDDDGenSurface {
public:
    // Stores what it is given; touches no platform object.
    TDDDDGenSurface(TDDDD* Owner, IDirectDrawSurface* Surface, int Width, int Height);
    virtual ~TDDDDGenSurface() = default;
    TDDDDGenSurface(const TDDDDGenSurface&) = delete;
    TDDDDGenSurface& operator=(const TDDDDGenSurface&) = delete;

    // True when the surface's IsLost answers anything but success.
    bool IsLost();
    // Restores a lost surface (the result is not looked at); leaves a kept one alone.
    void RestoreIfLost();
    // Refreshes Desc from the surface through ReportError ("サーフェス情報の取得に失敗しました")
    // and returns a copy.
    DDSURFACEDESC GetSurfaceDesc();

    // The stored pixel at (X, Y), 1 to 4 bytes in memory order as the low bytes of the value.
    // Outside the wrapper's size: a DebugLog line and 0; a surface that cannot be locked: 0.
    DWORD Pixels(int X, int Y);
    // Loads a BMP from Stream's position. With an 8-bit display an 8-bit bitmap's indices are
    // copied as they are (run-length coded ones once decoded), its bottom row onto the
    // surface's bottom row; anything else is drawn stretched over the whole surface. A lost
    // surface is left alone; an unreadable or strange file is logged and leaves the surface as
    // it was.
    void LoadFromStream(TStream& Stream);
    // A missing file is logged ("<FileName>が、見つかりません").
    virtual void LoadFromFile(const std::string& FileName);
    // An entry that cannot be read is logged.
    virtual void LoadFromArchive(const std::string& ArchiveName, const std::string& EntryName);

    IDirectDrawSurface* Surface;
    int Width, Height;
    DDSURFACEDESC Desc;
    TDDDD* Owner;
    // The source colour key the rebuild pass gives a registered surface.
    DWORD ColorKey = 0;
};

} // namespace dddd
