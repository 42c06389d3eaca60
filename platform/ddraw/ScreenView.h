#pragma once
// A widget that shows the emulated screen: the part of the desktop under it, or, when its
// window is the full-screen owner, the full-screen primary surface scaled to it. A program's
// main window makes one its client area, so what DirectDraw puts on the screen there appears.

#include <QRect>
#include <QWidget>

class TScreenView : public QWidget {
public:
    explicit TScreenView(QWidget* Parent = nullptr);
    ~TScreenView() override;

    // Rect of the screen changed (screen coordinates): repaint what of it lies here.
    void ScreenChanged(const QRect& Rect);
    // What the view shows now, as an image of its size (for tests and screenshots).
    QImage Grab() const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void Draw(QPainter& Painter, const QRect& Area) const;
};
