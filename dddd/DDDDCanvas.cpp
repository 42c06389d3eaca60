#include "DDDDCanvas.h"

#include "dddd/DDDDGenSurface.h"

namespace dddd {

TDDDDCanvas::TDDDDCanvas(TDDDDGenSurface* S) : Surface(S->Surface), SurfaceAlive(!S->IsLost()) {}

TDDDDCanvas::~TDDDDCanvas() {
    if (DC) {
        SetHandle(nullptr);
        Surface->ReleaseDC(DC);
        DC = nullptr;
    }
}

void TDDDDCanvas::CreateHandle() {
    if (!DC)
        Surface->GetDC(&DC);
    SetHandle(DC);
}

} // namespace dddd
