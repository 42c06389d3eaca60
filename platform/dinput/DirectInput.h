#pragma once
// The DirectInput object: hands out the keyboard, the mouse and the joysticks, and owns the
// window input they share.

#include "SdlJoysticks.h"
#include "WindowInput.h"
#include "platform/com/ComObject.h"
#include "platform/dinput/DInput.h"

#include <memory>

class TDirectInput final : public TComObject<IDirectInputA> {
public:
    TDirectInput();

    HRESULT CreateDevice(REFGUID Guid, IDirectInputDeviceA** Device, IUnknown* Outer) override;
    HRESULT EnumDevices(DWORD DevType, LPDIENUMDEVICESCALLBACKA Callback, LPVOID Ref,
                        DWORD Flags) override;

    TWindowInput& Input() { return *FInput; }

private:
    ~TDirectInput() override = default;
    // Started on the first joystick question, so a program without one never starts SDL.
    TSdlJoysticks* Joysticks();

    std::shared_ptr<TWindowInput> FInput;
    std::shared_ptr<TSdlJoysticks> FJoysticks;
    bool JoysticksTried = false;
};
