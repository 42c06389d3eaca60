#pragma once
// Reads back what the main window's scene shows on one yacht: the visual on its hull or on a
// sail frame, whether it carries a texture, and which of the shared jib shapes is up.

#include "platform/com/ComRef.h"
#include "platform/d3drm/RMMeshBuilder.h"
#include "yacht/DrawYacht.h"

#include <vector>

enum TYachtPart { kHull = -1, kMainSail = 0, kJib = 1, kSpinnaker = 2 };

namespace yachtvisuals {

// Child Index of Frame with a reference for the caller, or nullptr.
inline IDirect3DRMFrame* Child(IDirect3DRMFrame* Frame, int Index) {
    TComRef<IDirect3DRMFrameArray> children;
    if (!Frame || FAILED(Frame->GetChildren(children.Out())))
        return nullptr;
    IDirect3DRMFrame* child = nullptr;
    if (static_cast<DWORD>(Index) < children->GetSize())
        children->GetElement(static_cast<DWORD>(Index), &child);
    return child;
}

} // namespace yachtvisuals

// The first visual of yacht n's part, or nullptr. Not counted: the frame keeps it alive.
inline IDirect3DRMVisual* YachtVisual(const TDrawYacht& Scene, int n, TYachtPart Part) {
    using yachtvisuals::Child;
    TComRef<IDirect3DRMFrame> yacht(Child(Scene.YachtsFrame, n - 1));
    TComRef<IDirect3DRMFrame> sail(Part == kHull ? nullptr : Child(yacht.Get(), Part));
    IDirect3DRMFrame* frame = Part == kHull ? yacht.Get() : sail.Get();
    TComRef<IDirect3DRMVisualArray> visuals;
    TComRef<IDirect3DRMVisual> visual;
    if (frame && SUCCEEDED(frame->GetVisuals(visuals.Out())) && visuals->GetSize() > 0)
        visuals->GetElement(0, visual.Out());
    return visual.Get();
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
