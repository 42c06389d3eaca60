#include "Clipper.h"

#include "Display.h"
#include "platform/vcl/Gdi.h"

TClipper::TClipper() : TComObject(kDDrawFamily, "IDirectDrawClipper", {IID_IDirectDrawClipper}) {
    ++TDisplay::Get().Clippers;
}

TClipper::~TClipper() {
    --TDisplay::Get().Clippers;
}

TClipper* TClipper::From(IDirectDrawClipper* Clipper) {
    return dynamic_cast<TClipper*>(Clipper);
}

HRESULT TClipper::GetHWnd(HWND* Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirectDrawClipper::GetHWnd"); hr != DD_OK)
        return hr;
    *Out = Window.data();
    return DD_OK;
}

HRESULT TClipper::SetHWnd(DWORD Flags, HWND Wnd) {
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirectDrawClipper::SetHWnd"); hr != DD_OK)
        return hr;
    if (Flags != 0)
        return DDERR_INVALIDPARAMS;
    HasWindow = Wnd != nullptr;
    Window = Wnd;
    return DD_OK;
}

bool TClipper::ClientOnScreen(RECT& Rect) const {
    if (!HasWindow)
        return false;
    Rect = {};
    // A window that is gone, hidden or minimised has nothing on the screen.
    if (!Window || !Window->isVisible() || Window->isMinimized())
        return true;
    RECT client;
    POINT origin;
    GetClientRect(Window.data(), &client);
    ClientToScreen(Window.data(), &origin);
    Rect = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return true;
}
