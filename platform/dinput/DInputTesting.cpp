#include "DInputTesting.h"

#include "DirectInput.h"
#include "InputDevice.h"
#include "JoystickDevice.h"

#include <SDL.h>

#include <stdexcept>

namespace DInputTest {

namespace {

TWindowInput& InputOf(IDirectInputA* DirectInput) {
    auto* di = dynamic_cast<TDirectInput*>(DirectInput);
    if (!di)
        throw std::invalid_argument("not a DirectInput object of the stand-in");
    return di->Input();
}

TInputDevice& DeviceOf(IDirectInputDeviceA* Device) {
    auto* d = dynamic_cast<TInputDevice*>(Device);
    if (!d)
        throw std::invalid_argument("not a device of the stand-in");
    return *d;
}

} // namespace

void SetKey(IDirectInputA* DirectInput, BYTE ScanCode, bool Down) {
    InputOf(DirectInput).SetKey(ScanCode, Down);
}

void MoveMouse(IDirectInputA* DirectInput, LONG DX, LONG DY, LONG Wheel) {
    InputOf(DirectInput).AddMouseMotion(DX, DY, Wheel);
}

void SetMouseButton(IDirectInputA* DirectInput, int Button, bool Down) {
    InputOf(DirectInput).SetMouseButton(Button, Down);
}

void LoseFocus(IDirectInputA* DirectInput) {
    InputOf(DirectInput).LoseFocus();
}

DWORD CooperativeLevel(IDirectInputDeviceA* Device) {
    return DeviceOf(Device).CooperativeLevel();
}

bool Acquired(IDirectInputDeviceA* Device) {
    return DeviceOf(Device).Acquired();
}

void Range(IDirectInputDeviceA* Joystick, DWORD Offset, LONG& Min, LONG& Max) {
    auto* j = dynamic_cast<TJoystickDevice*>(Joystick);
    if (!j)
        throw std::invalid_argument("not a joystick of the stand-in");
    const TJoystickDevice::TRange r = j->Range(Offset);
    Min = r.Min;
    Max = r.Max;
}

} // namespace DInputTest

namespace {

int RumbleAccepted(void*, Uint16, Uint16) {
    return 0;
}

} // namespace

TTestJoystick::TTestJoystick(const TShape& Shape) : Sdl(TSdlJoysticks::Start()) {
    if (!Sdl)
        throw std::runtime_error(std::string("no joystick subsystem: ") + SDL_GetError());
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = static_cast<Uint16>(Shape.Axes);
    desc.nbuttons = static_cast<Uint16>(Shape.Buttons);
    desc.nhats = static_cast<Uint16>(Shape.Hats);
    desc.name = Shape.Name.c_str();
    if (Shape.Rumble)
        desc.Rumble = RumbleAccepted;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0)
        throw std::runtime_error(std::string("cannot attach a test joystick: ") + SDL_GetError());
    Stick = SDL_JoystickOpen(index);
    if (!Stick) {
        SDL_JoystickDetachVirtual(index);
        throw std::runtime_error(std::string("cannot open a test joystick: ") + SDL_GetError());
    }
    InstanceId = SDL_JoystickInstanceID(Stick);
}

TTestJoystick::~TTestJoystick() {
    Unplug();
}

void TTestJoystick::Unplug() {
    if (!Stick)
        return;
    SDL_JoystickClose(Stick);
    Stick = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == InstanceId) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
}

void TTestJoystick::SetAxis(int Axis, std::int16_t Value) {
    SDL_JoystickSetVirtualAxis(Stick, Axis, Value);
}

void TTestJoystick::SetButton(int Button, bool Down) {
    SDL_JoystickSetVirtualButton(Stick, Button, Down ? SDL_PRESSED : SDL_RELEASED);
}

void TTestJoystick::SetHat(int Hat, std::uint8_t Direction) {
    SDL_JoystickSetVirtualHat(Stick, Hat, Direction);
}
