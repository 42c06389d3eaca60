#pragma once
// A Direct3D texture made from a bitmap (a resource of the program, a file, or an archive
// entry), with an optional source colour key taken from one of its pixels. Where the device
// wants textures in video memory, the picture is kept in a system-memory twin (the work
// surface) and loaded from there; otherwise both are the same surface.

#include "dddd/DDDDGenSurface.h"
#include "platform/ddraw/D3D.h"

#include <memory>
#include <string>
#include <vector>

namespace dddd {

class TDDDD;
class TDDDDRegistry;

class TDDDDTexture {
public:
    explicit TDDDDTexture(TDDDD* Owner);
    // Leaves the registry it is in and drops its palette; the surfaces go with their chain.
    ~TDDDDTexture();
    TDDDDTexture(const TDDDDTexture&) = delete;
    TDDDDTexture& operator=(const TDDDDTexture&) = delete;

    // FileName names a bitmap resource of the program or, failing that, a bitmap file. When it
    // is neither, the name is logged and the program ends. KeyX or KeyY negative: no colour key.
    void LoadFromBitmap(const std::string& FileName, int KeyX, int KeyY);
    // An archive entry that cannot be read is logged and leaves the texture as it was.
    void LoadFromArchiveEntry(const std::string& ArchiveName, const std::string& EntryName,
                              int KeyX, int KeyY);
    // Loads the device surface from the work surface when they differ and the device surface is
    // not lost.
    void Transfer();
    // Restores lost surfaces, reloading a restored device surface from the work surface.
    void RestoreTexture();

    std::unique_ptr<TDDDDGenSurface> DeviceWrapper, WorkWrapper;
    IDirectDrawSurface* DeviceSurface = nullptr;
    IDirectDrawSurface* WorkSurface = nullptr;
    IDirectDrawPalette* Palette = nullptr;
    D3DTEXTUREHANDLE Handle = 0;
    TDDDD* Owner;
    bool ImageLoaded = false;
    // The two surfaces belong to the current device chain. Nothing touches them while this is
    // false: they may be gone with a released chain.
    bool SurfacesValid = false;
    int KeyX = -1, KeyY = -1;
    bool FromArchive = false;
    std::string FileName, ArchiveName, EntryName;
    int Width = 0, Height = 0;

private:
    friend class TDDDDRegistry;
    void LoadDeviceFromWork();
    TDDDDRegistry* Registry = nullptr;
};

// The texture format for a bitmap of BitmapBits bits per pixel, as an index into Offered, or -1
// when none fits: formats with alpha, palettes of fewer than 8 bits, unpalettised formats of 8
// bits or fewer and non-RGB formats of more are left out; of the rest the first is taken unless
// a later one is no smaller than the bitmap and closer to its depth.
int ChooseTextureFormat(const std::vector<DDPIXELFORMAT>& Offered, int BitmapBits);

} // namespace dddd
