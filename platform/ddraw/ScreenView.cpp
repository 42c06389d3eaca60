#include "platform/ddraw/ScreenView.h"

#include "Display.h"
#include "ImageFormat.h"
#include "Surface.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

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

// Whole multiples repeat each pixel exactly k times, which is what keeps a scale sharp; the
// toolkit's fast scaling does not promise that.
QImage ScaleNearest(const QImage& Source, int Width, int Height) {
    QImage out(Width, Height, QImage::Format_RGB32);
    std::vector<int> column(static_cast<std::size_t>(Width));
    for (int x = 0; x < Width; ++x)
        column[static_cast<std::size_t>(x)] =
            static_cast<int>(std::int64_t{x} * Source.width() / Width);
    int previous = -1;
    for (int y = 0; y < Height; ++y) {
        const int row = static_cast<int>(std::int64_t{y} * Source.height() / Height);
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        // An enlarged row repeats the one above it: copied whole, it costs a fraction.
        if (row == previous) {
            std::memcpy(to, out.constScanLine(y - 1), static_cast<std::size_t>(Width) * 4);
            continue;
        }
        previous = row;
        const auto* from = reinterpret_cast<const QRgb*>(Source.constScanLine(row));
        for (int x = 0; x < Width; ++x)
            to[x] = from[column[static_cast<std::size_t>(x)]];
    }
    return out;
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
    TDisplay& display = TDisplay::Get();
    if (!Frame.isNull() && !(display.ExclusivePrimary && display.ExclusiveWindow == window())) {
        // Below a menu bar of fractional device height the view starts inside a device pixel;
        // drawing from the whole pixel before it keeps every column the same width.
        const qreal ratio = devicePixelRatioF();
        const QPointF origin = QPointF(mapTo(window(), QPoint(0, 0))) * ratio;
        DrawFrame(painter, origin - QPointF(std::floor(origin.x()), std::floor(origin.y())));
        return;
    }
    Draw(painter, Event->rect());
}

QImage TScreenView::Grab() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    if (!Frame.isNull())
        DrawFrame(painter, QPointF());
    else
        Draw(painter, rect());
    return image;
}

void TScreenView::ShowSurface(IDirectDrawSurface* Surface) {
    TSurface* surface = TSurface::From(Surface);
    if (!surface || surface->Lost()) {
        Frame = QImage(Frame.isNull() ? QSize(1, 1) : Frame.size(), QImage::Format_RGB32);
        Frame.fill(Qt::black);
    } else {
        const QImage shown = Wrap(surface->Bits(), surface->Width, surface->Height,
                                  surface->Pitch(), surface->Kind, TDisplay::Get().ShownPalette());
        // The surface is drawn again before the view paints: the view keeps its own copy.
        Frame = shown.format() == QImage::Format_RGB32
                    ? shown.copy()
                    : shown.convertToFormat(QImage::Format_RGB32);
    }
    Scaled = QImage();
    update();
}

void TScreenView::SetFrameScaling(TFrameScaling Value) {
    if (Value == Scaling)
        return;
    Scaling = Value;
    Scaled = QImage();
    update();
}

QSize TScreenView::DeviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

TFramePlacement TScreenView::Placement() const {
    if (Frame.isNull())
        return {};
    const QSize area = DeviceSize();
    return PlaceFrame(area.width(), area.height(), Frame.width(), Frame.height(), Scaling);
}

const QImage& TScreenView::ScaledFrame(const TFramePlacement& Where) const {
    if (Scaled.isNull() || !(ScaledFor == Where)) {
        Scaled = Where.Filtered ? Frame.scaled(Where.Width, Where.Height, Qt::IgnoreAspectRatio,
                                               Qt::SmoothTransformation)
                                : ScaleNearest(Frame, Where.Width, Where.Height);
        ScaledFor = Where;
    }
    return Scaled;
}

void TScreenView::DrawFrame(QPainter& Painter, QPointF Offset) const {
    // Counted in the painted device's pixels, whatever scaling the toolkit applies to the view.
    const qreal ratio = Painter.device()->devicePixelRatioF();
    const QSize area(qRound(width() * ratio), qRound(height() * ratio));
    Painter.save();
    Painter.setWorldTransform(
        QTransform::fromScale(1 / ratio, 1 / ratio).translate(-Offset.x(), -Offset.y()));
    Painter.fillRect(QRectF(QPointF(0, 0), QSizeF(area) + QSizeF(1, 1)), Qt::black);
    const TFramePlacement where =
        PlaceFrame(area.width(), area.height(), Frame.width(), Frame.height(), Scaling);
    if (where.Width > 0)
        Painter.drawImage(QPoint(where.X, where.Y), ScaledFrame(where));
    Painter.restore();
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
