#pragma once
// What every device of the stand-in shares: the reference count, the data format, the
// cooperative level with its window, acquisition and its loss when the window goes to the
// background, and the checks every read makes before a device fills its state record.

#include "WindowInput.h"
#include "platform/com/ComObject.h"
#include "platform/dinput/DInput.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class TInputDevice : public TComObject<IDirectInputDevice2A> {
public:
    HRESULT SetDataFormat(const DIDATAFORMAT* Format) override;
    HRESULT SetCooperativeLevel(HWND Window, DWORD Level) override;
    // No properties unless a device kind offers some.
    HRESULT SetProperty(REFGUID Property, const DIPROPHEADER* Header) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD Size, LPVOID Data) override;
    // Keyboard and mouse need no polling.
    HRESULT Poll() override;

    DWORD CooperativeLevel() const { return Level; }
    bool Acquired() const { return FAcquired; }

protected:
    TInputDevice(std::shared_ptr<TWindowInput> Input, const DIDATAFORMAT& Format);
    ~TInputDevice() override = default;

    // Fills the Format.dwDataSize bytes of Data with the device's state.
    virtual void ReadState(void* Data) = 0;
    virtual void Acquiring() {}
    // The level checks beyond the common ones; DI_OK to accept Level.
    virtual HRESULT CheckLevel(DWORD NewLevel) const;
    // False when the device cannot be read now (unplugged).
    virtual bool Present() const { return true; }
    // Gives the device up as the window system does when the window loses the foreground.
    void Lose() { FAcquired = false; }

    const std::shared_ptr<TWindowInput> Input;

private:
    bool InForeground() const;
    // A foreground device is lost by any loss of the focus since it was acquired.
    bool FocusLost() const;

    const DIDATAFORMAT& OwnFormat;
    bool FormatSet = false;
    DWORD Level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    QPointer<QWidget> Window;
    bool FAcquired = false;
    std::uint32_t FocusLossesAtAcquire = 0;
};
