#include "dddd/DDDDRegistry.h"

#include "DDDDRegisteredSurface.h"
#include "DDDDTexture.h"

#include <algorithm>

namespace dddd {

namespace {

template <class T> void Erase(std::vector<T*>& List, T* Item) {
    List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}

} // namespace

TDDDDRegistry::~TDDDDRegistry() {
    for (TDDDDRegisteredSurface* s : FSurfaces)
        s->Registry = nullptr;
    for (TDDDDTexture* t : FTextures) {
        t->Registry = nullptr;
        t->SurfacesValid = false;
    }
}

void TDDDDRegistry::Add(TDDDDRegisteredSurface* Surface) {
    if (Surface->Registry)
        Surface->Registry->Remove(Surface);
    Surface->Registry = this;
    FSurfaces.push_back(Surface);
}

void TDDDDRegistry::Add(TDDDDTexture* Texture) {
    if (Texture->Registry)
        Texture->Registry->Remove(Texture);
    Texture->Registry = this;
    FTextures.push_back(Texture);
}

void TDDDDRegistry::Remove(TDDDDRegisteredSurface* Surface) {
    if (Surface->Registry == this)
        Surface->Registry = nullptr;
    Erase(FSurfaces, Surface);
}

void TDDDDRegistry::Remove(TDDDDTexture* Texture) {
    if (Texture->Registry == this)
        Texture->Registry = nullptr;
    Erase(FTextures, Texture);
}

void TDDDDRegistry::RestorePass() {
    for (TDDDDRegisteredSurface* s : FSurfaces)
        if (s->IsLost()) {
            s->RestoreIfLost();
            s->ReloadImage();
        }
    for (TDDDDTexture* t : FTextures)
        if (t->ImageLoaded) {
            t->RestoreTexture();
            t->Transfer();
        }
}

void TDDDDRegistry::RebuildPass() {
    for (TDDDDRegisteredSurface* s : FSurfaces)
        s->Recreate();
    for (TDDDDTexture* t : FTextures)
        if (t->ImageLoaded) {
            if (t->FromArchive)
                t->LoadFromArchiveEntry(t->ArchiveName, t->EntryName, t->KeyX, t->KeyY);
            else
                t->LoadFromBitmap(t->FileName, t->KeyX, t->KeyY);
            t->Transfer();
        }
}

void TDDDDRegistry::CleanUpPass() {
    for (TDDDDTexture* t : FTextures)
        t->SurfacesValid = false;
}

} // namespace dddd
