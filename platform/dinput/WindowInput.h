#pragma once
// The keyboard and mouse as the program's own windows see them: every key and mouse event the
// window framework delivers to any of them is folded into one key array, running mouse totals
// and four mouse buttons. One per DirectInput object, shared with the devices it creates.

#include "platform/com/Com.h"

#include <QObject>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>

class TWindowInput final : public QObject {
public:
    // Watches the framework application's events when there is one; without it only what a test
    // sets is seen.
    TWindowInput();
    ~TWindowInput() override;

    // 0x80 for every key down, by scan code; entry 0 (no key) is always 0.
    const std::array<BYTE, 256>& Keys() const { return FKeys; }
    void SetKey(BYTE ScanCode, bool Down);

    // Mouse motion and wheel summed since creation; a mouse device reports differences.
    struct TMouseTotals {
        std::int64_t X = 0, Y = 0, Z = 0;
    };
    const TMouseTotals& MouseTotals() const { return FMouseTotals; }
    void AddMouseMotion(std::int64_t DX, std::int64_t DY, std::int64_t DZ);
    // Left, right, middle, back: 0x80 while down.
    const std::array<BYTE, 4>& MouseButtons() const { return FMouseButtons; }
    void SetMouseButton(int Button, bool Down);

    // Counts the times a window of the program lost the focus. A foreground device compares it
    // with its count at Acquire: any loss in between loses the device, as on the platform.
    std::uint32_t FocusLosses() const { return FFocusLosses; }
    // What the window system does when the focus goes: keys and buttons held then are released,
    // since their release will be seen by another window.
    void LoseFocus();

    // True when Window's top-level window is the active window.
    static bool IsForeground(HWND Window);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    std::array<BYTE, 256> FKeys{};
    TMouseTotals FMouseTotals;
    std::array<BYTE, 4> FMouseButtons{};
    std::uint32_t FFocusLosses = 0;
    // X11 and Wayland report evdev key codes offset by 8; elsewhere native codes mean nothing.
    bool NativeIsEvdev = false;
    std::optional<QPointF> LastCursor;
};
