#pragma once
// A clipper of the emulated driver: blits onto the primary surface stay inside its window's
// client area.

#include "DDrawFamily.h"
#include "platform/ddraw/DDraw.h"

#include <QPointer>
#include <QWidget>

class TClipper final : public TComObject<IDirectDrawClipper> {
public:
    TClipper();
    ~TClipper() override;

    HRESULT GetHWnd(HWND* lphWnd) override;
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override;

    static TClipper* From(IDirectDrawClipper* Clipper);

    // The window's client area in screen coordinates; empty when the window is gone, hidden
    // or minimised. False when no window was set.
    bool ClientOnScreen(RECT& Rect) const;

private:
    bool HasWindow = false;
    QPointer<QWidget> Window;
};
