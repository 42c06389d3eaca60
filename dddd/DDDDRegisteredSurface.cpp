#include "DDDDRegisteredSurface.h"

#include "DdddDebug.h"
#include "LoaderMessages.h"
#include "dddd/DDDD.h"
#include "dddd/DDDDRegistry.h"

namespace dddd {

TDDDDRegisteredSurface::TDDDDRegisteredSurface(TDDDD* AOwner, int AWidth, int AHeight, DWORD Caps)
    : TDDDDGenSurface(AOwner, nullptr, AWidth, AHeight) {
    Desc.dwWidth = static_cast<DWORD>(AWidth);
    Desc.dwHeight = static_cast<DWORD>(AHeight);
    Desc.ddsCaps.dwCaps = Caps;
}

TDDDDRegisteredSurface::~TDDDDRegisteredSurface() {
    if (Registry)
        Registry->Remove(this);
    ReleaseRef(Surface);
}

void TDDDDRegisteredSurface::Recreate() {
    Desc.dwSize = sizeof(DDSURFACEDESC);
    Desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    // The old surface lost its memory with the device chain it belonged to; our reference to it
    // is all that is left.
    ReleaseRef(Surface);
    if (Owner->DirectDraw2()->CreateSurface(&Desc, &Surface, nullptr) != DD_OK) {
        Desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        ReportError(Owner->DirectDraw2()->CreateSurface(&Desc, &Surface, nullptr),
                    kMsgSurfaceCreate);
    }
    DDCOLORKEY key{ColorKey, ColorKey};
    Surface->SetColorKey(DDCKEY_SRCBLT, &key);
    ReloadImage();
}

void TDDDDRegisteredSurface::ReloadImage() {
    if (FromArchive) {
        if (!ArchiveName.empty())
            LoadFromArchive(ArchiveName, EntryName);
    } else if (!FileName.empty()) {
        LoadFromFile(FileName);
    }
}

} // namespace dddd
