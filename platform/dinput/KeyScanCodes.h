#pragma once
// Which key array entry a window-system key event stands for. Where the window system reports
// the physical key (evdev key codes, under X11 and Wayland) that decides; elsewhere (the
// offscreen platform, synthesised events) the key's meaning does, as on a US layout.

#include "platform/com/Com.h"

#include <cstdint>

class QKeyEvent;

// The scan code of evdev key EvdevCode, or 0 for a key without one.
BYTE ScanCodeFromEvdev(std::uint32_t EvdevCode);
// The scan code of Qt key QtKey; Keypad when the event carries the keypad modifier, so that the
// numeric pad reads as its own keys whether Num Lock made them digits or arrows. 0 for none.
BYTE ScanCodeFromQtKey(int QtKey, bool Keypad);
// The scan code of a key event. NativeIsEvdev: the window system puts evdev codes, offset by
// 8, in the native scan code (X11, Wayland); a native code that names no key falls back to
// the key's meaning.
BYTE ScanCodeOfKeyEvent(const QKeyEvent& Event, bool NativeIsEvdev);
