#include "WindowInput.h"

#include "KeyScanCodes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// A cursor coordinate as a whole number of pixels; nonsense from the window system counts as 0.
std::int64_t WholePixels(double V) {
    constexpr double kLimit = 1e9;
    return std::isfinite(V) ? static_cast<std::int64_t>(std::clamp(V, -kLimit, kLimit)) : 0;
}

int MouseButtonIndex(Qt::MouseButton Button) {
    switch (Button) {
    case Qt::LeftButton:
        return 0;
    case Qt::RightButton:
        return 1;
    case Qt::MiddleButton:
        return 2;
    case Qt::BackButton:
        return 3;
    default:
        return -1;
    }
}

} // namespace

TWindowInput::TWindowInput() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        const QString platform = QGuiApplication::platformName();
        NativeIsEvdev = platform == QLatin1String("xcb") || platform.startsWith("wayland");
        app->installEventFilter(this);
    }
}

TWindowInput::~TWindowInput() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void TWindowInput::SetKey(BYTE ScanCode, bool Down) {
    if (ScanCode != 0)
        FKeys[ScanCode] = Down ? 0x80 : 0;
}

void TWindowInput::AddMouseMotion(std::int64_t DX, std::int64_t DY, std::int64_t DZ) {
    FMouseTotals.X += DX;
    FMouseTotals.Y += DY;
    FMouseTotals.Z += DZ;
}

void TWindowInput::SetMouseButton(int Button, bool Down) {
    if (Button >= 0 && Button < static_cast<int>(FMouseButtons.size()))
        FMouseButtons[Button] = Down ? 0x80 : 0;
}

void TWindowInput::LoseFocus() {
    FKeys.fill(0);
    FMouseButtons.fill(0);
    LastCursor.reset();
    ++FFocusLosses;
}

bool TWindowInput::IsForeground(HWND Window) {
    return Window && Window->window()->isActiveWindow();
}

bool TWindowInput::eventFilter(QObject* Watched, QEvent* Event) {
    switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // A key event travels from the window to the focus widget and up its parents; setting
        // a key twice is harmless, so every stop may be seen.
        const auto* key = static_cast<QKeyEvent*>(Event);
        const bool down = Event->type() == QEvent::KeyPress;
        // The window system repeats a held key as release-press pairs: the key stays down.
        if (!down && key->isAutoRepeat())
            break;
        SetKey(ScanCodeOfKeyEvent(*key, NativeIsEvdev), down);
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        SetMouseButton(MouseButtonIndex(static_cast<QMouseEvent*>(Event)->button()),
                       Event->type() != QEvent::MouseButtonRelease);
        break;
    case QEvent::MouseMove:
        // Motion is counted once, where the window system delivers it: at the window, which
        // sees every move whether or not a widget tracks the mouse.
        if (Watched->isWindowType()) {
            const QPointF at = static_cast<QMouseEvent*>(Event)->globalPosition();
            if (LastCursor)
                AddMouseMotion(WholePixels(at.x()) - WholePixels(LastCursor->x()),
                               WholePixels(at.y()) - WholePixels(LastCursor->y()), 0);
            LastCursor = at;
        }
        break;
    case QEvent::Leave:
        if (Watched->isWindowType())
            LastCursor.reset();
        break;
    case QEvent::Wheel:
        if (Watched->isWindowType())
            AddMouseMotion(0, 0, static_cast<QWheelEvent*>(Event)->angleDelta().y());
        break;
    case QEvent::WindowDeactivate:
        LoseFocus();
        break;
    case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            LoseFocus();
        break;
    default:
        break;
    }
    return QObject::eventFilter(Watched, Event);
}
