#pragma once
// What tests reach of the DirectInput stand-in: its failure plan, the keyboard and mouse state
// that a DirectInput object sees, what a device was set up with, and joysticks that exist only
// for a test (SDL virtual joysticks, found like any other through the joystick subsystem).

#include "DInputPlan.h"
#include "platform/dinput/DInput.h"

#include <cstdint>
#include <memory>
#include <string>

class TSdlJoysticks;
struct _SDL_Joystick;

namespace DInputTest {

// The key, mouse motion and buttons as if the window system had reported them to the program's
// windows; DirectInput is an object DirectInputCreateA made.
void SetKey(IDirectInputA* DirectInput, BYTE ScanCode, bool Down);
void MoveMouse(IDirectInputA* DirectInput, LONG DX, LONG DY, LONG Wheel);
void SetMouseButton(IDirectInputA* DirectInput, int Button, bool Down);
// Whatever a window of the program losing the focus does.
void LoseFocus(IDirectInputA* DirectInput);

DWORD CooperativeLevel(IDirectInputDeviceA* Device);
bool Acquired(IDirectInputDeviceA* Device);
// The range set on a joystick's axis or slider at DIJOYSTATE offset Offset.
void Range(IDirectInputDeviceA* Joystick, DWORD Offset, LONG& Min, LONG& Max);

} // namespace DInputTest

// A joystick plugged in for as long as the object lives.
class TTestJoystick {
public:
    struct TShape {
        std::string Name;
        int Axes = 8;
        int Buttons = 32;
        int Hats = 4;
        bool Rumble = false;
    };
    // Hat directions, combined for the diagonals.
    static constexpr std::uint8_t kHatCentred = 0, kHatUp = 1, kHatRight = 2, kHatDown = 4,
                                  kHatLeft = 8;

    explicit TTestJoystick(const TShape& Shape);
    ~TTestJoystick();
    TTestJoystick(const TTestJoystick&) = delete;
    TTestJoystick& operator=(const TTestJoystick&) = delete;

    // Values the joystick reports from the next poll on.
    void SetAxis(int Axis, std::int16_t Value);
    void SetButton(int Button, bool Down);
    void SetHat(int Hat, std::uint8_t Direction);
    // Pulls the plug now; the destructor then has nothing left to do.
    void Unplug();

private:
    std::shared_ptr<TSdlJoysticks> Sdl;
    _SDL_Joystick* Stick = nullptr;
    std::int32_t InstanceId = -1;
};
