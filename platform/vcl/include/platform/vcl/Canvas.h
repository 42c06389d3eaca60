#pragma once
// The framework's drawing canvas: drawing goes to a device context, which the canvas asks
// for through CreateHandle the first time it needs one.

#include "platform/vcl/Gdi.h"

namespace vcl {

class TCanvas {
public:
    TCanvas() = default;
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The device context, made through CreateHandle when none is set; nullptr when none can
    // be had, and then drawing does nothing.
    HDC Handle();
    // Sets the context to draw on (nullptr takes it away); the canvas never deletes it.
    void SetHandle(HDC Dc) { FHandle = Dc; }
    bool HandleAllocated() const { return FHandle != nullptr; }

    // Copies Source's SourceRect onto Dest, stretched to fit (nearest pixel).
    void CopyRect(const RECT& Dest, TCanvas& Source, const RECT& SourceRect);

protected:
    // Sets a handle when the canvas knows where to get one.
    virtual void CreateHandle() {}

private:
    HDC FHandle = nullptr;
};

} // namespace vcl
