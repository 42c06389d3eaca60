#include "dddd/DDDDGenSurface.h"

#include "DdddDebug.h"

namespace dddd {

TDDDDGenSurface::TDDDDGenSurface(TDDDD* AOwner, IDirectDrawSurface* ASurface, int AWidth,
                                 int AHeight)
    : Surface(ASurface), Width(AWidth), Height(AHeight), Owner(AOwner) {
    Desc.dwSize = sizeof(DDSURFACEDESC);
    Desc.dwFlags = DDSD_ALL;
}

bool TDDDDGenSurface::IsLost() {
    // A wrapper not yet given its surface has nothing to lose: the next rebuild makes it.
    return Surface && Surface->IsLost() != DD_OK;
}

void TDDDDGenSurface::RestoreIfLost() {
    if (IsLost())
        Surface->Restore();
}

DDSURFACEDESC TDDDDGenSurface::GetSurfaceDesc() {
    Desc = DDSURFACEDESC{};
    Desc.dwSize = sizeof(DDSURFACEDESC);
    ReportError(Surface->GetSurfaceDesc(&Desc), "サーフェス情報の取得に失敗しました");
    return Desc;
}

} // namespace dddd
