#pragma once
// A surface that the display component keeps across display changes: it knows where its image
// comes from, so the component's passes can make it anew and reload it after the device chain
// was rebuilt, and reload it after its memory was lost.

#include "dddd/DDDDGenSurface.h"

#include <string>

namespace dddd {

class TDDDDRegistry;

class TDDDDRegisteredSurface : public TDDDDGenSurface {
public:
    // No surface yet: Recreate makes one of Width x Height with Caps.
    TDDDDRegisteredSurface(TDDDD* Owner, int Width, int Height, DWORD Caps);
    // Leaves the registry it is in.
    ~TDDDDRegisteredSurface() override;

    // Makes a new surface from Desc's caps and size through the owner's DirectDraw object
    // (falling back to a plain system-memory surface, whose failure is reported), gives it
    // ColorKey as its source colour key and reloads the image.
    void Recreate();
    // LoadFromArchive when FromArchive (and an archive is named), else LoadFromFile (when a file
    // is named).
    void ReloadImage();

    bool FromArchive = false;
    std::string FileName, ArchiveName, EntryName;

private:
    friend class TDDDDRegistry;
    TDDDDRegistry* Registry = nullptr;
};

} // namespace dddd
