#include "platform/ddraw/ScreenView.h"

#include "Display.h"
#include "ImageFormat.h"
#include "Surface.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The pixels wrapped without a copy; an 8-bit picture gets the palette it is shown with.
QImage Wrap(const BYTE* Bits, int Width, int Height, LONG Pitch, TPixelKind Kind,
            const PALETTEENTRY* Palette) {
    QImage image(Bits, Width, Height, Pitch, ImageFormatOf(Kind));
    if (Kind == TPixelKind::Indexed8) {
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = Palette ? qRgb(Palette[i].peRed, Palette[i].peGreen, Palette[i].peBlue)
                               : qRgb(0, 0, 0);
        image.setColorTable(table);
    }
    return image;
}

} // namespace

TScreenView::TScreenView(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    TDisplay::Get().Views.push_back(this);
}

TScreenView::~TScreenView() {
    auto& views = TDisplay::Get().Views;
    views.erase(std::remove(views.begin(), views.end(), this), views.end());
}

void TScreenView::ScreenChanged(const QRect& Rect) {
    if (!isVisible())
        return;
    const QRect mine(mapToGlobal(QPoint(0, 0)), size());
    const QRect hit = mine.intersected(Rect);
    if (hit.isEmpty())
        return;
    Refreshed += hit.translated(-mine.topLeft());
    update(hit.translated(-mine.topLeft()));
}

void TScreenView::paintEvent(QPaintEvent* Event) {
    const bool exposed = !(Event->region() - Refreshed).isEmpty();
    Refreshed = QRegion();
    if (exposed && OnExpose)
        OnExpose();
    QPainter painter(this);
    Draw(painter, Event->rect());
}

QImage TScreenView::Grab() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    Draw(painter, rect());
    return image;
}

void TScreenView::Draw(QPainter& Painter, const QRect& Area) const {
    TDisplay& display = TDisplay::Get();
    if (display.ExclusivePrimary && display.ExclusiveWindow == window()) {
        TSurface* front = display.ExclusivePrimary;
        if (front->Lost()) {
            Painter.fillRect(Area, Qt::black);
            return;
        }
        const QImage image = Wrap(front->Bits(), front->Width, front->Height, front->Pitch(),
                                  front->Kind, display.ShownPalette());
        Painter.drawImage(rect(), image);
        return;
    }
    const BYTE* bits = display.DesktopBits();
    const QRect desktop(0, 0, display.DesktopWidth(), display.DesktopHeight());
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const QRect wanted = Area.translated(origin);
    const QRect shown = wanted.intersected(desktop);
    if (shown != wanted)
        Painter.fillRect(Area, Qt::black);
    if (shown.isEmpty())
        return;
    const QImage image =
        Wrap(bits, display.DesktopWidth(), display.DesktopHeight(), display.DesktopPitch(),
             display.DesktopKind(), display.ShownPalette());
    Painter.drawImage(shown.translated(-origin), image, shown);
}
