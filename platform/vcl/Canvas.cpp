#include "platform/vcl/Canvas.h"

#include <QPainter>

namespace vcl {

HDC TCanvas::Handle() {
    if (!FHandle)
        CreateHandle();
    return FHandle;
}

void TCanvas::CopyRect(const RECT& Dest, TCanvas& Source, const RECT& SourceRect) {
    HDC to = Handle();
    HDC from = Source.Handle();
    if (!to || !from || from->Target().isNull())
        return;
    QPainter* p = to->Painter();
    if (!p)
        return;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    p->drawImage(QRect(Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top),
                 from->Target(),
                 QRect(SourceRect.left, SourceRect.top, SourceRect.right - SourceRect.left,
                       SourceRect.bottom - SourceRect.top));
}

} // namespace vcl
