#pragma once
// A widget that shows the emulated screen: the part of the desktop under it, or, when its
// window is the full-screen owner, the full-screen primary surface scaled to it. A program's
// main window makes one its client area, so what DirectDraw puts on the screen there appears.

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

    // Called before a repaint that the screen did not ask for (the view was exposed, resized
    // or shown): what a window's own paint message is on the platform.
    std::function<void()> OnExpose;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void Draw(QPainter& Painter, const QRect& Area) const;

    // What the screen asked to repaint since the last paint.
    QRegion Refreshed;
};
