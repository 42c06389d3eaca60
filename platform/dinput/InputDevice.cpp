#include "InputDevice.h"

#include "DInputPlan.h"

TInputDevice::TInputDevice(std::shared_ptr<TWindowInput> AInput, const DIDATAFORMAT& Format)
    : TComObject(TComFamily{DInputFailurePlan}, "IDirectInputDeviceA",
                 {IID_IDirectInputDevice2A, IID_IDirectInputDeviceA}),
      Input(std::move(AInput)), OwnFormat(Format) {}

HRESULT TInputDevice::SetDataFormat(const DIDATAFORMAT* Format) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::SetDataFormat))
        return hr;
    if (FAcquired)
        return DIERR_ACQUIRED;
    if (!Format || Format->dwSize != sizeof(DIDATAFORMAT) ||
        Format->dwDataSize != OwnFormat.dwDataSize)
        return DIERR_INVALIDPARAM;
    FormatSet = true;
    return DI_OK;
}

HRESULT TInputDevice::CheckLevel(DWORD) const {
    return DI_OK;
}

HRESULT TInputDevice::SetCooperativeLevel(HWND AWindow, DWORD NewLevel) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::SetCooperativeLevel))
        return hr;
    if (FAcquired)
        return DIERR_ACQUIRED;
    const DWORD access = NewLevel & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD ground = NewLevel & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND;
    if ((NewLevel & ~known) != 0 || (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
        (ground != DISCL_FOREGROUND && ground != DISCL_BACKGROUND))
        return DIERR_INVALIDPARAM;
    // Foreground means the foreground of some window.
    if (ground == DISCL_FOREGROUND && !AWindow)
        return DIERR_INVALIDPARAM;
    if (const HRESULT hr = CheckLevel(NewLevel))
        return hr;
    Level = NewLevel;
    Window = AWindow;
    return DI_OK;
}

HRESULT TInputDevice::SetProperty(REFGUID, const DIPROPHEADER*) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::SetProperty))
        return hr;
    return DIERR_UNSUPPORTED;
}

bool TInputDevice::InForeground() const {
    return (Level & DISCL_BACKGROUND) || TWindowInput::IsForeground(Window.data());
}

bool TInputDevice::FocusLost() const {
    return (Level & DISCL_FOREGROUND) && FocusLossesAtAcquire != Input->FocusLosses();
}

HRESULT TInputDevice::Acquire() {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::Acquire))
        return hr;
    if (!FormatSet)
        return DIERR_INVALIDPARAM;
    if (!InForeground())
        return DIERR_OTHERAPPHASPRIO;
    if (!Present())
        return DIERR_INPUTLOST;
    if (FAcquired && !FocusLost())
        return DI_NOEFFECT;
    FAcquired = true;
    FocusLossesAtAcquire = Input->FocusLosses();
    Acquiring();
    return DI_OK;
}

HRESULT TInputDevice::Unacquire() {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::Unacquire))
        return hr;
    if (!FAcquired)
        return DI_NOEFFECT;
    FAcquired = false;
    return DI_OK;
}

HRESULT TInputDevice::GetDeviceState(DWORD Size, LPVOID Data) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::GetDeviceState))
        return hr;
    if (!Data || !FormatSet || Size != OwnFormat.dwDataSize)
        return DIERR_INVALIDPARAM;
    if (!FAcquired)
        return DIERR_NOTACQUIRED;
    if (FocusLost() || !InForeground() || !Present()) {
        Lose();
        return DIERR_INPUTLOST;
    }
    ReadState(Data);
    return DI_OK;
}

HRESULT TInputDevice::Poll() {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::Poll))
        return hr;
    return FAcquired ? DI_NOEFFECT : DIERR_NOTACQUIRED;
}
