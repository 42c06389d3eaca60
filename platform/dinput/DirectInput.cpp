#include "DirectInput.h"

#include "DInputPlan.h"
#include "JoystickDevice.h"
#include "KeyboardDevice.h"
#include "MouseDevice.h"

#include <algorithm>
#include <cstring>

const DIDATAFORMAT c_dfDIKeyboard{sizeof(DIDATAFORMAT), 256};
const DIDATAFORMAT c_dfDIMouse{sizeof(DIDATAFORMAT), sizeof(DIMOUSESTATE)};
const DIDATAFORMAT c_dfDIJoystick{sizeof(DIDATAFORMAT), sizeof(DIJOYSTATE)};

TFailurePlan& DInputFailurePlan() {
    static TFailurePlan plan;
    return plan;
}

namespace DInputCall {
const std::string DirectInputCreateA = "DirectInputCreateA";
const std::string CreateDevice = "IDirectInputA::CreateDevice";
const std::string EnumDevices = "IDirectInputA::EnumDevices";
const std::string DeviceQueryInterface = "IDirectInputDeviceA::QueryInterface";
const std::string SetDataFormat = "IDirectInputDeviceA::SetDataFormat";
const std::string SetCooperativeLevel = "IDirectInputDeviceA::SetCooperativeLevel";
const std::string SetProperty = "IDirectInputDeviceA::SetProperty";
const std::string Acquire = "IDirectInputDeviceA::Acquire";
const std::string Unacquire = "IDirectInputDeviceA::Unacquire";
const std::string GetDeviceState = "IDirectInputDeviceA::GetDeviceState";
const std::string Poll = "IDirectInputDevice2A::Poll";
} // namespace DInputCall

namespace {

// {89521360-AA8A-11CF-BFC7-444553540000}
constexpr IID IID_IDirectInputA{
    0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr HRESULT DIERR_NOAGGREGATION = MakeHResult(0x80040110);
// A joystick that can rumble names this as its force-feedback driver.
constexpr GUID kRumbleDriver{
    0x2B0E5E11, 0x2F6B, 0x4C39, {0x8A, 0x52, 0x52, 0x75, 0x6D, 0x62, 0x6C, 0x65}};

// Copies Text into a zero-terminated field, cut at a character boundary when too long.
template <std::size_t N> void CopyName(char (&Field)[N], const std::string& Text) {
    std::size_t n = std::min(Text.size(), N - 1);
    if (n < Text.size())
        while (n > 0 && (static_cast<unsigned char>(Text[n]) & 0xC0) == 0x80)
            --n; // never keep the start of a UTF-8 sequence without its end
    std::memcpy(Field, Text.data(), n);
    Field[n] = '\0';
}

} // namespace

TDirectInput::TDirectInput()
    : TComObject(TComFamily{DInputFailurePlan}, "IDirectInputA", {IID_IDirectInputA}),
      FInput(std::make_shared<TWindowInput>()) {}

TSdlJoysticks* TDirectInput::Joysticks() {
    if (!JoysticksTried) {
        JoysticksTried = true;
        FJoysticks = TSdlJoysticks::Start();
    }
    return FJoysticks.get();
}

HRESULT TDirectInput::CreateDevice(REFGUID Guid, IDirectInputDeviceA** Device, IUnknown* Outer) {
    if (!Device)
        return DIERR_INVALIDPARAM;
    *Device = nullptr;
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::CreateDevice))
        return hr;
    if (Outer)
        return DIERR_NOAGGREGATION;
    if (Guid == GUID_SysKeyboard) {
        *Device = new TKeyboardDevice(FInput);
        return DI_OK;
    }
    if (Guid == GUID_SysMouse) {
        *Device = new TMouseDevice(FInput);
        return DI_OK;
    }
    if (TSdlJoysticks::IsJoystickInstance(Guid) && Joysticks())
        if (SDL_Joystick* stick = FJoysticks->Open(Guid)) {
            *Device = new TJoystickDevice(FInput, FJoysticks, stick);
            return DI_OK;
        }
    return DIERR_DEVICENOTREG;
}

HRESULT TDirectInput::EnumDevices(DWORD DevType, LPDIENUMDEVICESCALLBACKA Callback, LPVOID Ref,
                                  DWORD Flags) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::EnumDevices))
        return hr;
    if (!Callback || (Flags & ~(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK)) != 0)
        return DIERR_INVALIDPARAM;
    if (DevType != DIDEVTYPE_JOYSTICK)
        return DIERR_UNSUPPORTED;
    if (!Joysticks())
        return DI_OK;
    // Listed first and offered after, so that a callback may create devices as it goes.
    for (const TSdlJoysticks::TFound& found : FJoysticks->Attached()) {
        if ((Flags & DIEDFL_FORCEFEEDBACK) && !found.CanRumble)
            continue;
        DIDEVICEINSTANCEA instance{};
        instance.dwSize = sizeof instance;
        instance.guidInstance = found.Instance;
        instance.guidProduct = found.Product;
        instance.dwDevType = DIDEVTYPE_JOYSTICK;
        CopyName(instance.tszInstanceName, found.Name);
        CopyName(instance.tszProductName, found.Name);
        if (found.CanRumble)
            instance.guidFFDriver = kRumbleDriver;
        if (Callback(&instance, Ref) == DIENUM_STOP)
            break;
    }
    return DI_OK;
}

HRESULT DirectInputCreateA(HINSTANCE, DWORD Version, IDirectInputA** Out, IUnknown* Outer) {
    if (!Out)
        return DIERR_INVALIDPARAM;
    *Out = nullptr;
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::DirectInputCreateA))
        return hr;
    if (Outer)
        return DIERR_NOAGGREGATION;
    if (Version < 0x0300)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (Version > DIRECTINPUT_VERSION)
        return DIERR_BETADIRECTINPUTVERSION;
    *Out = new TDirectInput;
    return DI_OK;
}
