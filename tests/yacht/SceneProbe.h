#pragma once
// Reads back what the scene component built: its frames, their placements and visuals. Each
// call releases every reference it took.

#include "platform/com/ComRef.h"
#include "platform/vcl/Forms.h"
#include "yacht/DrawYacht.h"

#include <cmath>
#include <functional>

// Yacht frame n's children: the main-sail, jib and spinnaker frames.
enum TSailFrame { kYachtItself = -1, kMainSailFrame = 0, kJibFrame = 1, kSpinnakerFrame = 2 };

// The scene on its own window, built as the main window builds it.
class TSceneProbe {
public:
    TSceneProbe() : Yacht(&Form) {
        Yacht.SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
        Form.DoCreate(); // the display is built when the form is created
        Yacht.InitScene();
    }

    // Runs Use with frame Sail of yacht n (or the yacht frame itself), or with nullptr.
    void WithFrame(int n, int Sail, const std::function<void(IDirect3DRMFrame*)>& Use) {
        TComRef<IDirect3DRMFrame> yacht(Element(Yacht.YachtsFrame, n - 1));
        if (Sail == kYachtItself) {
            Use(yacht.Get());
            return;
        }
        TComRef<IDirect3DRMFrame> sail(Element(yacht.Get(), Sail));
        Use(sail.Get());
    }

    D3DVECTOR Position(int n, int Sail, bool InYachtAxes = false) {
        D3DVECTOR p{NAN, NAN, NAN};
        WithFrame(n, Sail, [&](IDirect3DRMFrame* F) {
            if (!F)
                return;
            if (InYachtAxes)
                WithFrame(n, kYachtItself, [&](IDirect3DRMFrame* Y) { F->GetPosition(Y, &p); });
            else
                F->GetPosition(Yacht.YachtsFrame, &p);
        });
        return p;
    }
    // The frame's z axis, in world axes or the yacht's.
    D3DVECTOR Direction(int n, int Sail, bool InYachtAxes = false, D3DVECTOR* Up = nullptr) {
        D3DVECTOR d{NAN, NAN, NAN}, u{NAN, NAN, NAN};
        WithFrame(n, Sail, [&](IDirect3DRMFrame* F) {
            if (!F)
                return;
            if (InYachtAxes)
                WithFrame(n, kYachtItself,
                          [&](IDirect3DRMFrame* Y) { F->GetOrientation(Y, &d, &u); });
            else
                F->GetOrientation(Yacht.YachtsFrame, &d, &u);
        });
        if (Up)
            *Up = u;
        return d;
    }
    int Visuals(int n, int Sail) {
        int count = -1;
        WithFrame(n, Sail, [&](IDirect3DRMFrame* F) {
            TComRef<IDirect3DRMVisualArray> visuals;
            if (F && SUCCEEDED(F->GetVisuals(visuals.Out())))
                count = static_cast<int>(visuals->GetSize());
        });
        return count;
    }
    // The Index-th visual of the frame (not counted: the frame keeps it alive), or nullptr.
    IDirect3DRMVisual* Visual(int n, int Sail, int Index = 0) {
        IDirect3DRMVisual* visual = nullptr;
        WithFrame(n, Sail, [&](IDirect3DRMFrame* F) {
            TComRef<IDirect3DRMVisualArray> visuals;
            if (F && SUCCEEDED(F->GetVisuals(visuals.Out())))
                visual = SetElement(visuals.Get(), Index);
        });
        return visual;
    }
    // Element Index of a sail set (not counted: the set keeps it alive), or nullptr.
    static IDirect3DRMVisual* SetElement(IDirect3DRMVisualArray* Set, int Index) {
        IDirect3DRMVisual* visual = nullptr;
        if (Set && static_cast<DWORD>(Index) < Set->GetSize() &&
            SUCCEEDED(Set->GetElement(static_cast<DWORD>(Index), &visual)))
            visual->Release();
        return visual;
    }
    static int Children(IDirect3DRMFrame* Frame) {
        TComRef<IDirect3DRMFrameArray> children;
        if (!Frame || FAILED(Frame->GetChildren(children.Out())))
            return -1;
        return static_cast<int>(children->GetSize());
    }
    // Child Index of Frame with a reference for the caller, or nullptr.
    static IDirect3DRMFrame* Element(IDirect3DRMFrame* Frame, int Index) {
        TComRef<IDirect3DRMFrameArray> children;
        if (!Frame || FAILED(Frame->GetChildren(children.Out())))
            return nullptr;
        IDirect3DRMFrame* child = nullptr;
        if (Index >= 0 && static_cast<DWORD>(Index) < children->GetSize())
            children->GetElement(static_cast<DWORD>(Index), &child);
        return child;
    }

    vcl::TForm Form;
    TDrawYacht Yacht;
};

inline bool Near(D3DVECTOR A, D3DVECTOR B, float Tolerance = 1e-4f) {
    return std::abs(A.x - B.x) <= Tolerance && std::abs(A.y - B.y) <= Tolerance &&
           std::abs(A.z - B.z) <= Tolerance;
}

inline std::ostream& operator<<(std::ostream& Out, const D3DVECTOR& V) {
    return Out << "(" << V.x << ", " << V.y << ", " << V.z << ")";
}
