#include "ddidex/DDIDEX.h"

#include "DdidDebug.h"
#include "DeadZone.h"
#include "platform/com/ComRef.h"

#include <algorithm>

namespace ddidex {

namespace {

struct TKeyDefault {
    int Button;
    std::int32_t Key1;
    std::int32_t Key2;
};

constexpr TKeyDefault kDefaultKeys[] = {
    {0, DIK_Z, DIK_SPACE},
    {1, DIK_X, DIK_ESCAPE},
    {2, DIK_C, 0},
    {3, DIK_A, 0},
    {4, DIK_S, 0},
    {5, DIK_D, 0},
    {6, DIK_1, 0},
    {7, DIK_2, 0},
    {8, DIK_3, 0},
    {9, DIK_4, 0},
    {10, DIK_5, 0},
    {11, DIK_6, 0},
    {12, DIK_7, 0},
    {13, DIK_8, 0},
    {14, DIK_9, 0},
    {15, DIK_0, 0},
    {TDDIDEX::vbUp, DIK_UP, DIK_NUMPAD8},
    {TDDIDEX::vbDown, DIK_DOWN, DIK_NUMPAD2},
    {TDDIDEX::vbLeft, DIK_LEFT, DIK_NUMPAD4},
    {TDDIDEX::vbRight, DIK_RIGHT, DIK_NUMPAD6},
    {TDDIDEX::vbUpLeft, 0, DIK_NUMPAD7},
    {TDDIDEX::vbUpRight, 0, DIK_NUMPAD9},
    {TDDIDEX::vbDownLeft, 0, DIK_NUMPAD1},
    {TDDIDEX::vbDownRight, 0, DIK_NUMPAD3},
};

// The axes and sliders of DIJOYSTATE, by offset, that get the full signed 16-bit range.
constexpr DWORD kRangedOffsets[] = {0, 4, 8, 12, 16, 20, 24, 28};
constexpr LONG kAxisMin = -32768;
constexpr LONG kAxisMax = 32767;
constexpr LONG kFullDeflection = 32767;
constexpr int kStateButtons = 32;
constexpr int kMouseButtons = 4;

const char* const kCreateFailed = "DirectInputの作成に失敗しました";
const char* const kKeyboardFailed = "DirectInputDevice(キーボード)の作成に失敗しました";
const char* const kKeyboardFormatFailed =
    "DirectInputDeviceのデータフォーマット(キーボード)の指定に失敗しました";
const char* const kMouseFailed = "DirectInputDevice(マウス)の作成に失敗しました";
const char* const kMouseFormatFailed =
    "DirectInputDeviceのデータフォーマット(マウス)の指定に失敗しました";
const char* const kJoystickFormatFailed =
    "DirectInputDeviceのデータフォーマット(ジョイスティック)の指定に失敗しました";
const char* const kLevelFailed = "DirectInputDeviceの協調レベルの設定に失敗しました";

// Reports a failed call, which ends the program. Were the switches ever to let the program go
// on, the caller must not go on with what it failed to get: true when it failed.
bool Reported(HRESULT Result, const char* Text) {
    return ReportError(Result, Text) != 0;
}

std::int32_t Direction(LONG V) {
    return (V > 0) - (V < 0);
}

// The eight axes and sliders of a joystick state, in DIJOYSTATE order.
std::array<LONG*, 8> Axes(DIJOYSTATE& S) {
    return {&S.lX, &S.lY, &S.lZ, &S.lRx, &S.lRy, &S.lRz, &S.rglSlider[0], &S.rglSlider[1]};
}

} // namespace

TDDIDEX::TDDIDEX(HWND AOwner) : Owner(AOwner) {}

TDDIDEX::~TDDIDEX() {
    ReleaseDevices();
}

void TDDIDEX::Loaded() {
    if (AutoInitialize)
        Initialize();
}

void TDDIDEX::ReleaseDevices() {
    for (IDirectInputDeviceA** device : {&Keyboard, &Mouse})
        if (*device) {
            (*device)->Unacquire();
            ReleaseRef(*device);
        }
    for (int k = 0; k < JoystickCount; ++k)
        if (Joysticks[k]) {
            Joysticks[k]->Unacquire();
            ReleaseRef(Joysticks[k]);
        }
    JoystickCount = 0;
    JoystickNames.clear();
    ReleaseRef(DirectInput);
}

void TDDIDEX::SetDefaultKeyMaps() {
    KeyMap1.fill(0);
    KeyMap2.fill(0);
    for (const TKeyDefault& d : kDefaultKeys) {
        KeyMap1[d.Button] = d.Key1;
        KeyMap2[d.Button] = d.Key2;
    }
}

void TDDIDEX::Initialize() {
    ReleaseDevices();
    SetDefaultKeyMaps();

    if (Reported(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &DirectInput, nullptr),
                 kCreateFailed))
        return;

    if (Reported(DirectInput->CreateDevice(GUID_SysKeyboard, &Keyboard, nullptr), kKeyboardFailed))
        return;
    Reported(Keyboard->SetDataFormat(&c_dfDIKeyboard), kKeyboardFormatFailed);
    Reported(Keyboard->SetCooperativeLevel(Owner, BackGround
                                                      ? DISCL_BACKGROUND | DISCL_NONEXCLUSIVE
                                                      : DISCL_FOREGROUND | DISCL_NONEXCLUSIVE),
             kLevelFailed);

    if (Reported(DirectInput->CreateDevice(GUID_SysMouse, &Mouse, nullptr), kMouseFailed))
        return;
    Reported(Mouse->SetDataFormat(&c_dfDIMouse), kMouseFormatFailed);
    // The mouse stays with the foreground whatever BackGround says.
    Reported(Mouse->SetCooperativeLevel(Owner, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE),
             kLevelFailed);

    ForceFeedback.fill(false);
    JoystickNames.clear();
    JoystickCount = 0;
    // Force-feedback joysticks first; the second pass skips them by their names.
    EnumeratingForceFeedback = true;
    DirectInput->EnumDevices(DIDEVTYPE_JOYSTICK, EnumJoystick, this,
                             DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
    EnumeratingForceFeedback = false;
    DirectInput->EnumDevices(DIDEVTYPE_JOYSTICK, EnumJoystick, this, DIEDFL_ATTACHEDONLY);

    Keyboard->Acquire();
    Mouse->Acquire();
}

BOOL TDDIDEX::EnumJoystick(LPCDIDEVICEINSTANCEA Instance, LPVOID Ref) {
    return Instance ? static_cast<TDDIDEX*>(Ref)->AddJoystick(*Instance) : DIENUM_CONTINUE;
}

BOOL TDDIDEX::AddJoystick(const DIDEVICEINSTANCEA& Instance) {
    // The name field need not end in a zero; it never reads past its end here.
    const char* const field = Instance.tszProductName;
    const std::string name(field, std::find(field, field + sizeof Instance.tszProductName, '\0'));
    if (!EnumeratingForceFeedback)
        for (int k = 0; k < JoystickCount; ++k)
            if (ForceFeedback[k + kFirstJoystick] && JoystickNames[k] == name)
                return DIENUM_CONTINUE; // added in the first pass
    if (JoystickCount >= kMaxJoysticks)
        return DIENUM_CONTINUE;

    TComRef<IDirectInputDeviceA> device;
    if (DirectInput->CreateDevice(Instance.guidInstance, device.Out(), nullptr) != DI_OK || !device)
        return DIENUM_CONTINUE;
    void* second = nullptr;
    const HRESULT asked = device->QueryInterface(IID_IDirectInputDevice2A, &second);
    device.Reset();
    // A joystick without the polled interface cannot be read: skip it like one that cannot be
    // created, rather than keep a reference that is not there.
    if (asked != S_OK || !second)
        return DIENUM_CONTINUE;
    IDirectInputDevice2A*& joystick = Joysticks[JoystickCount];
    joystick = static_cast<IDirectInputDevice2A*>(second);

    if (Reported(joystick->SetDataFormat(&c_dfDIJoystick), kJoystickFormatFailed)) {
        ReleaseRef(joystick);
        return DIENUM_CONTINUE;
    }
    const DWORD ground = BackGround ? DISCL_BACKGROUND : DISCL_FOREGROUND;
    if (joystick->SetCooperativeLevel(Owner, ground | DISCL_EXCLUSIVE) != DI_OK)
        Reported(joystick->SetCooperativeLevel(Owner, ground | DISCL_NONEXCLUSIVE), kLevelFailed);
    for (DWORD offset : kRangedOffsets) {
        DIPROPRANGE range{};
        range.diph.dwSize = sizeof(DIPROPRANGE);
        range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        range.diph.dwObj = offset;
        range.diph.dwHow = DIPH_BYOFFSET;
        range.lMin = kAxisMin;
        range.lMax = kAxisMax;
        joystick->SetProperty(DIPROP_RANGE, &range.diph);
    }
    joystick->Acquire();

    JoystickNames.push_back(name);
    ForceFeedback[JoystickCount + kFirstJoystick] = EnumeratingForceFeedback;
    ++JoystickCount;
    return DIENUM_CONTINUE;
}

bool TDDIDEX::Poll(const std::int32_t* Devices, std::size_t Count) {
    if (!Devices || Count == 0)
        return false;
    bool read = ReadDevice(false, Devices[0]);
    for (std::size_t i = 1; i < Count; ++i)
        read = ReadDevice(true, Devices[i]) || read;
    return read;
}

bool TDDIDEX::ReadDevice(bool Merge, std::int32_t Device) {
    if (!Merge)
        State = DIJOYSTATE{};
    if (Device == kKeyboard)
        return ReadKeyboard();
    if (Device == kMouse)
        return ReadMouse();
    if (Device >= kFirstJoystick && Device - kFirstJoystick < JoystickCount)
        return ReadJoystick(Merge, Device - kFirstJoystick);
    return false;
}

BYTE TDDIDEX::Key(std::int32_t ScanCode) const {
    // 0 stands for no key; a code beyond the key array names none either.
    return ScanCode > 0 && ScanCode < static_cast<std::int32_t>(Keys.size()) ? Keys[ScanCode] : 0;
}

bool TDDIDEX::Pressed(int VirtualButton) const {
    return ((Key(KeyMap1[VirtualButton]) | Key(KeyMap2[VirtualButton])) & 0x80) != 0;
}

bool TDDIDEX::ReadKeyboard() {
    if (!Keyboard)
        return false;
    if (Keyboard->GetDeviceState(Keys.size(), Keys.data()) != DI_OK) {
        Keyboard->Acquire();
        if (Keyboard->GetDeviceState(Keys.size(), Keys.data()) != DI_OK)
            return false;
    }
    for (int i = 0; i < kStateButtons; ++i)
        State.rgbButtons[i] |= Key(KeyMap1[i]) | Key(KeyMap2[i]);
    // Opposite keys together cancel out.
    LONG y = Pressed(vbUp) || Pressed(vbUpLeft) || Pressed(vbUpRight) ? -kFullDeflection : 0;
    if (Pressed(vbDown) || Pressed(vbDownLeft) || Pressed(vbDownRight))
        y += kFullDeflection;
    LONG x = Pressed(vbLeft) || Pressed(vbUpLeft) || Pressed(vbDownLeft) ? -kFullDeflection : 0;
    if (Pressed(vbRight) || Pressed(vbUpRight) || Pressed(vbDownRight))
        x += kFullDeflection;
    State.lX |= x;
    State.lY |= y;
    return true;
}

bool TDDIDEX::ReadMouse() {
    if (!Mouse)
        return false;
    if (Mouse->GetDeviceState(sizeof MouseState, &MouseState) != DI_OK) {
        Mouse->Acquire();
        return false;
    }
    // The mouse's motion replaces the axes even when merging: ORed motion would mean nothing.
    State.lX = MouseState.lX;
    State.lY = MouseState.lY;
    State.lZ = MouseState.lZ;
    for (int i = 0; i < kMouseButtons; ++i)
        State.rgbButtons[i] |= MouseState.rgbButtons[i];
    return true;
}

bool TDDIDEX::ReadJoystick(bool Merge, int Index) {
    IDirectInputDevice2A* joystick = Joysticks[Index];
    if (!joystick)
        return false;
    joystick->Poll();
    if (joystick->GetDeviceState(sizeof JoyState, &JoyState) != DI_OK) {
        joystick->Acquire();
        return false;
    }
    const TDeadZone zone(DeadZone);
    for (LONG* axis : Axes(JoyState))
        *axis = zone.Apply(*axis);
    if (!Merge) {
        State = JoyState;
        return true;
    }
    const std::array<LONG*, 8> merged = Axes(State);
    const std::array<LONG*, 8> read = Axes(JoyState);
    for (std::size_t i = 0; i < merged.size(); ++i)
        *merged[i] |= *read[i];
    for (int i = 0; i < 4; ++i)
        State.rgdwPOV[i] |= JoyState.rgdwPOV[i];
    for (int i = 0; i < kStateButtons; ++i)
        State.rgbButtons[i] |= JoyState.rgbButtons[i];
    return true;
}

void TDDIDEX::GetDirections(TDDIDEXDirections& D) const {
    D.X = Direction(State.lX);
    D.Y = Direction(State.lY);
    D.Z = Direction(State.lZ);
    D.RX = Direction(State.lRx);
    D.RY = Direction(State.lRy);
    D.RZ = Direction(State.lRz);
    D.Slider0 = Direction(State.rglSlider[0]);
    D.Slider1 = Direction(State.rglSlider[1]);
    D.POV0 = static_cast<std::int32_t>(State.rgdwPOV[0]);
    D.POV1 = static_cast<std::int32_t>(State.rgdwPOV[1]);
    D.POV2 = static_cast<std::int32_t>(State.rgdwPOV[2]);
    D.POV3 = static_cast<std::int32_t>(State.rgdwPOV[3]);
}

bool TDDIDEX::ButtonDown(std::int32_t Index) const {
    return Index >= 0 && Index < kStateButtons && State.rgbButtons[Index] >= 0x80;
}

} // namespace ddidex
