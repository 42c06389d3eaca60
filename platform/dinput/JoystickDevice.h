#pragma once
// A joystick read through SDL: six axes and two sliders scaled to the ranges set on them, up to
// four hats as point-of-view values and 32 buttons.

#include "InputDevice.h"
#include "SdlJoysticks.h"

#include <array>

class TJoystickDevice final : public TInputDevice {
public:
    // Takes over Stick, opened through Sdl.
    TJoystickDevice(std::shared_ptr<TWindowInput> Input, std::shared_ptr<TSdlJoysticks> Sdl,
                    SDL_Joystick* Stick);
    ~TJoystickDevice() override;

    // DIPROP_RANGE on one axis or slider (by offset) or on all of them (DIPH_DEVICE).
    HRESULT SetProperty(REFGUID Property, const DIPROPHEADER* Header) override;
    HRESULT Poll() override;

    struct TRange {
        LONG Min = 0;
        LONG Max = 65535;
    };
    // The range of the axis or slider at DIJOYSTATE offset Offset (0, 4, ... 28).
    TRange Range(DWORD Offset) const { return Ranges.at(Offset / sizeof(LONG)); }

protected:
    void ReadState(void* Data) override;
    bool Present() const override;

private:
    static constexpr int kAxes = 8; // X, Y, Z, RX, RY, RZ, two sliders
    std::shared_ptr<TSdlJoysticks> Sdl;
    SDL_Joystick* Stick;
    std::array<TRange, kAxes> Ranges{};
};
