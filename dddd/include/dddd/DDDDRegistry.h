#pragma once
// The display component's registries of surfaces and textures, and the passes it runs over
// them: restore (after a repaint found surfaces lost), rebuild (after the device chain was built
// anew) and clean-up (before the chain is released). The registries refer to the objects; they
// do not own them, and an object leaves its registry when it is freed.

#include <vector>

namespace dddd {

class TDDDD;
class TDDDDRegisteredSurface;
class TDDDDTexture;

class TDDDDRegistry {
public:
    TDDDDRegistry() = default;
    // The chain the entries' surfaces belonged to is gone: the entries forget the registry,
    // and textures their surfaces.
    ~TDDDDRegistry();
    TDDDDRegistry(const TDDDDRegistry&) = delete;
    TDDDDRegistry& operator=(const TDDDDRegistry&) = delete;

    // Adding what is already here, or what is in another registry, moves it here.
    void Add(TDDDDRegisteredSurface* Surface);
    void Add(TDDDDTexture* Texture);
    void Remove(TDDDDRegisteredSurface* Surface);
    void Remove(TDDDDTexture* Texture);
    const std::vector<TDDDDRegisteredSurface*>& Surfaces() const { return FSurfaces; }
    const std::vector<TDDDDTexture*>& Textures() const { return FTextures; }

    // Lost surfaces are restored and reloaded; loaded textures restored and transferred.
    void RestorePass();
    // Every surface made anew and reloaded; every loaded texture loaded again and transferred.
    void RebuildPass();
    // Every texture marked as holding surfaces of a released chain.
    void CleanUpPass();

private:
    std::vector<TDDDDRegisteredSurface*> FSurfaces;
    std::vector<TDDDDTexture*> FTextures;
};

} // namespace dddd
