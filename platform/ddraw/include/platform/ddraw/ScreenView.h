#pragma once
// A widget that shows the emulated screen: the part of the desktop under it, or, when its
// window is the full-screen owner, the full-screen primary surface scaled to it. A program's
// main window makes one its client area, so what DirectDraw puts on the screen there appears.
// A program may instead hand the view its picture (ShowSurface): the view then shows that alone,
// in the window's device pixels, keeping its shape with black bars.

#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/FramePlacement.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <functional>

class TScreenView : public QWidget {
public:
    explicit TScreenView(QWidget* Parent = nullptr);
    ~TScreenView() override;

    // Rect of the screen changed (screen coordinates): repaint what of it lies here.
    void ScreenChanged(const QRect& Rect);
    // What the view shows now, as an image of its size (for tests and screenshots).
    QImage Grab() const;

    // Takes a copy of Surface's picture to show until the next call, from now on instead of the
    // desktop; a surface that is not the driver's or is lost shows black. Repaints soon.
    void ShowSurface(IDirectDrawSurface* Surface);
    void SetFrameScaling(TFrameScaling Scaling);
    TFrameScaling FrameScaling() const { return Scaling; }
    // The view's size in device pixels, the area ShowSurface's picture is placed in.
    QSize DeviceSize() const;
    // Where ShowSurface's picture lies in DeviceSize(); all 0 before the first picture.
    TFramePlacement Placement() const;

    // Called before a repaint that the screen did not ask for (the view was exposed, resized
    // or shown): what a window's own paint message is on the platform.
    std::function<void()> OnExpose;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void Draw(QPainter& Painter, const QRect& Area) const;
    // Offset is how far the view's origin lies past a whole device pixel of its window.
    void DrawFrame(QPainter& Painter, QPointF Offset) const;
    const QImage& ScaledFrame(const TFramePlacement& Where) const;

    // What the screen asked to repaint since the last paint.
    QRegion Refreshed;

    QImage Frame; // RGB32; null until ShowSurface
    TFrameScaling Scaling = TFrameScaling::PixelPerfect;
    // Frame scaled to the placement it was last drawn at; made again when either changes.
    mutable QImage Scaled;
    mutable TFramePlacement ScaledFor;
};
