#pragma once
// Reads back what the main window's scene shows on one yacht: the visual on its hull or on a
// sail frame, whether it carries a texture, and which of the shared jib shapes is up.

#include "platform/d3drm/RMMeshBuilder.h"
#include "yacht/DrawYacht.h"

#include <vector>

enum TYachtPart { kHull = -1, kMainSail = 0, kJib = 1, kSpinnaker = 2 };

namespace yachtvisuals {

// Child Index of Frame with a reference for the caller, or nullptr.
inline IDirect3DRMFrame* Child(IDirect3DRMFrame* Frame, int Index) {
    IDirect3DRMFrameArray* children = nullptr;
    if (!Frame || FAILED(Frame->GetChildren(&children)))
        return nullptr;
    IDirect3DRMFrame* child = nullptr;
    if (static_cast<DWORD>(Index) < children->GetSize())
        children->GetElement(static_cast<DWORD>(Index), &child);
    children->Release();
    return child;
}

} // namespace yachtvisuals

// The first visual of yacht n's part, or nullptr. Not counted: the frame keeps it alive.
inline IDirect3DRMVisual* YachtVisual(const TDrawYacht& Scene, int n, TYachtPart Part) {
    using yachtvisuals::Child;
    IDirect3DRMFrame* yacht = Child(Scene.YachtsFrame, n - 1);
    IDirect3DRMFrame* frame = Part == kHull ? yacht : Child(yacht, Part);
    IDirect3DRMVisual* visual = nullptr;
    IDirect3DRMVisualArray* visuals = nullptr;
    if (frame && SUCCEEDED(frame->GetVisuals(&visuals))) {
        if (visuals->GetSize() > 0 && SUCCEEDED(visuals->GetElement(0, &visual)))
            visual->Release();
        visuals->Release();
    }
    if (frame && frame != yacht)
        frame->Release();
    if (yacht)
        yacht->Release();
    return visual;
}

inline bool Textured(IDirect3DRMVisual* Visual) {
    auto* mesh = dynamic_cast<TRMMeshBuilder*>(Visual);
    if (!mesh)
        return false;
    for (const TPreparedTriangle& t : mesh->Geometry().Triangles)
        if (t.Texture)
            return true;
    return false;
}

// The index in the scene's jib set of the jib yacht n shows, or -1.
inline int JibShown(const TDrawYacht& Scene, int n) {
    IDirect3DRMVisual* shown = YachtVisual(Scene, n, kJib);
    for (DWORD i = 0; shown && Scene.JibSet && i < Scene.JibSet->GetSize(); ++i) {
        IDirect3DRMVisual* jib = nullptr;
        if (SUCCEEDED(Scene.JibSet->GetElement(i, &jib))) {
            jib->Release();
            if (jib == shown)
                return static_cast<int>(i);
        }
    }
    return -1;
}
