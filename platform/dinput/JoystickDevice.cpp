#include "JoystickDevice.h"

#include "DInputPlan.h"

#include <SDL.h>

#include <cstring>

namespace {

constexpr DWORD kCentred = 0xFFFFFFFF;
constexpr int kPovs = 4;
constexpr int kButtons = 32;

// SDL's hat bits as hundredths of degrees clockwise from forward.
DWORD PovOf(Uint8 Hat) {
    switch (Hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return kCentred;
    }
}

// SDL's -32768..32767 onto Min..Max, both ends exact.
LONG Scaled(Sint16 Value, const TJoystickDevice::TRange& R) {
    const std::int64_t span = static_cast<std::int64_t>(R.Max) - R.Min;
    return static_cast<LONG>(R.Min + (static_cast<std::int64_t>(Value) + 32768) * span / 65535);
}

} // namespace

TJoystickDevice::TJoystickDevice(std::shared_ptr<TWindowInput> AInput,
                                 std::shared_ptr<TSdlJoysticks> ASdl, SDL_Joystick* AStick)
    : TInputDevice(std::move(AInput), c_dfDIJoystick), Sdl(std::move(ASdl)), Stick(AStick) {}

TJoystickDevice::~TJoystickDevice() {
    SDL_JoystickClose(Stick);
}

HRESULT TJoystickDevice::SetProperty(REFGUID Property, const DIPROPHEADER* Header) {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::SetProperty))
        return hr;
    if (!(Property == DIPROP_RANGE))
        return DIERR_UNSUPPORTED;
    if (!Header || Header->dwSize != sizeof(DIPROPRANGE) ||
        Header->dwHeaderSize != sizeof(DIPROPHEADER))
        return DIERR_INVALIDPARAM;
    const auto& range = *reinterpret_cast<const DIPROPRANGE*>(Header);
    if (range.lMin >= range.lMax)
        return DIERR_INVALIDPARAM;
    const TRange r{range.lMin, range.lMax};
    if (Header->dwHow == DIPH_DEVICE) {
        if (Header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        Ranges.fill(r);
        return DI_OK;
    }
    if (Header->dwHow != DIPH_BYOFFSET)
        return DIERR_INVALIDPARAM;
    const DWORD offset = Header->dwObj;
    if (offset % sizeof(LONG) != 0 || offset / sizeof(LONG) >= kAxes)
        return DIERR_OBJECTNOTFOUND;
    const int axis = static_cast<int>(offset / sizeof(LONG));
    if (axis >= SDL_JoystickNumAxes(Stick))
        return DIERR_OBJECTNOTFOUND;
    Ranges[axis] = r;
    return DI_OK;
}

HRESULT TJoystickDevice::Poll() {
    if (const HRESULT hr = DInputFailurePlan().Check(DInputCall::Poll))
        return hr;
    if (!Acquired())
        return DIERR_NOTACQUIRED;
    SDL_JoystickUpdate();
    if (!Present()) {
        Lose();
        return DIERR_INPUTLOST;
    }
    return DI_OK;
}

bool TJoystickDevice::Present() const {
    return SDL_JoystickGetAttached(Stick) == SDL_TRUE;
}

void TJoystickDevice::ReadState(void* Data) {
    DIJOYSTATE state{};
    LONG* axes[kAxes] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                         &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
    // An axis the joystick lacks reads 0, as optional objects of the data format do.
    const int axisCount = SDL_JoystickNumAxes(Stick);
    for (int i = 0; i < kAxes && i < axisCount; ++i)
        *axes[i] = Scaled(SDL_JoystickGetAxis(Stick, i), Ranges[i]);
    const int hats = SDL_JoystickNumHats(Stick);
    for (int i = 0; i < kPovs; ++i)
        state.rgdwPOV[i] = i < hats ? PovOf(SDL_JoystickGetHat(Stick, i)) : kCentred;
    const int buttons = SDL_JoystickNumButtons(Stick);
    for (int i = 0; i < kButtons && i < buttons; ++i)
        state.rgbButtons[i] = SDL_JoystickGetButton(Stick, i) ? 0x80 : 0;
    std::memcpy(Data, &state, sizeof state);
}
