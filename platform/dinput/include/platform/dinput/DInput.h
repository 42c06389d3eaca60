#pragma once
// DirectInput as the input component uses it: one DirectInput object that hands out the system
// keyboard, the system mouse and the attached joysticks, each read by polling into a fixed
// state record. Keyboard and mouse follow the window framework's events of the program's own
// windows; joysticks come from SDL's joystick subsystem.

#include "platform/com/Com.h"

#include <cstddef>

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0500;

// {6F1D2B61-D5A0-11CF-BFC7-444553540000}
inline constexpr GUID GUID_SysKeyboard{
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {6F1D2B60-D5A0-11CF-BFC7-444553540000}
inline constexpr GUID GUID_SysMouse{
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {5944E682-C92E-11CF-BFC7-444553540000}
inline constexpr IID IID_IDirectInputDevice2A{
    0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {5944E680-C92E-11CF-BFC7-444553540000}
inline constexpr IID IID_IDirectInputDeviceA{
    0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The range property. The platform names properties by small pseudo-identifiers; here it is a
// real identifier, so that it can be passed by reference.
inline constexpr GUID DIPROP_RANGE{4, 0, 0, {}};

inline constexpr HRESULT DI_OK = S_OK;
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
inline constexpr HRESULT DIERR_GENERIC = E_FAIL;
inline constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeHResult(0x8007047E);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeHResult(0x80070481);
inline constexpr HRESULT DIERR_DEVICENOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = MakeHResult(0x80070002);
inline constexpr HRESULT DIERR_NOTINITIALIZED = MakeHResult(0x80070015);
inline constexpr HRESULT DIERR_INPUTLOST = MakeHResult(0x8007001E);
inline constexpr HRESULT DIERR_ACQUIRED = MakeHResult(0x800700AA);
inline constexpr HRESULT DIERR_NOTACQUIRED = MakeHResult(0x8007000C);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = MakeHResult(0x80070005);

inline constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
inline constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x00000100;
inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

inline constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
inline constexpr DWORD DISCL_FOREGROUND = 0x00000004;
inline constexpr DWORD DISCL_BACKGROUND = 0x00000008;

inline constexpr DWORD DIPH_DEVICE = 0;
inline constexpr DWORD DIPH_BYOFFSET = 1;

// Keyboard scan codes: the index of each key in the 256-byte key array.
inline constexpr BYTE DIK_ESCAPE = 0x01;
inline constexpr BYTE DIK_1 = 0x02;
inline constexpr BYTE DIK_2 = 0x03;
inline constexpr BYTE DIK_3 = 0x04;
inline constexpr BYTE DIK_4 = 0x05;
inline constexpr BYTE DIK_5 = 0x06;
inline constexpr BYTE DIK_6 = 0x07;
inline constexpr BYTE DIK_7 = 0x08;
inline constexpr BYTE DIK_8 = 0x09;
inline constexpr BYTE DIK_9 = 0x0A;
inline constexpr BYTE DIK_0 = 0x0B;
inline constexpr BYTE DIK_A = 0x1E;
inline constexpr BYTE DIK_S = 0x1F;
inline constexpr BYTE DIK_D = 0x20;
inline constexpr BYTE DIK_Z = 0x2C;
inline constexpr BYTE DIK_X = 0x2D;
inline constexpr BYTE DIK_C = 0x2E;
inline constexpr BYTE DIK_SPACE = 0x39;
inline constexpr BYTE DIK_NUMPAD7 = 0x47;
inline constexpr BYTE DIK_NUMPAD8 = 0x48;
inline constexpr BYTE DIK_NUMPAD9 = 0x49;
inline constexpr BYTE DIK_NUMPAD4 = 0x4B;
inline constexpr BYTE DIK_NUMPAD6 = 0x4D;
inline constexpr BYTE DIK_NUMPAD1 = 0x4F;
inline constexpr BYTE DIK_NUMPAD2 = 0x50;
inline constexpr BYTE DIK_NUMPAD3 = 0x51;
inline constexpr BYTE DIK_UP = 0xC8;
inline constexpr BYTE DIK_LEFT = 0xCB;
inline constexpr BYTE DIK_RIGHT = 0xCD;
inline constexpr BYTE DIK_DOWN = 0xD0;

// The three data formats a device can be given. Each names the state record it fills; the
// devices accept only the format of their own kind.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwDataSize;
};
extern const DIDATAFORMAT c_dfDIKeyboard; // 256 bytes, one per scan code
extern const DIDATAFORMAT c_dfDIMouse;    // DIMOUSESTATE
extern const DIDATAFORMAT c_dfDIJoystick; // DIJOYSTATE

struct DIMOUSESTATE {
    LONG lX; // motion since the last read
    LONG lY;
    LONG lZ;            // wheel since the last read, 120 a notch
    BYTE rgbButtons[4]; // 0x80 while down
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
    LONG lX, lY, lZ; // axes, in the range set on each (0 to 65535 until then)
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];    // hundredths of degrees clockwise from forward; 0xFFFFFFFF centred
    BYTE rgbButtons[32]; // 0x80 while down
};
static_assert(sizeof(DIJOYSTATE) == 80);
static_assert(offsetof(DIJOYSTATE, rglSlider) == 24 && offsetof(DIJOYSTATE, rgdwPOV) == 32);

inline constexpr std::size_t MAX_PATH = 260;

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance; // what CreateDevice takes; changes when the device is plugged in again
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[MAX_PATH];
    char tszProductName[MAX_PATH]; // UTF-8, zero-terminated
    GUID guidFFDriver;             // all zero unless the device can give force feedback
    WORD wUsagePage;
    WORD wUsage;
};
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(LPCDIDEVICEINSTANCEA Instance, LPVOID Ref);

struct DIPROPHEADER {
    DWORD dwSize;       // of the whole property record
    DWORD dwHeaderSize; // of this header, 16
    DWORD dwObj;        // with DIPH_BYOFFSET: the object's offset in the data format
    DWORD dwHow;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPRANGE) == 24);

struct IDirectInputDeviceA : IUnknown {
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* Format) = 0;
    // Level: DISCL_EXCLUSIVE or DISCL_NONEXCLUSIVE, with DISCL_FOREGROUND or DISCL_BACKGROUND.
    // A foreground device can be read only while Window is the active window.
    virtual HRESULT SetCooperativeLevel(HWND Window, DWORD Level) = 0;
    virtual HRESULT SetProperty(REFGUID Property, const DIPROPHEADER* Header) = 0;
    // DIERR_OTHERAPPHASPRIO while a foreground device's window is in the background.
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Size must be the data format's size. DIERR_INPUTLOST once the window lost the
    // foreground since Acquire, DIERR_NOTACQUIRED when not acquired.
    virtual HRESULT GetDeviceState(DWORD Size, LPVOID Data) = 0;
};

struct IDirectInputDevice2A : IDirectInputDeviceA {
    // Fetches the joystick's current state for the next GetDeviceState.
    virtual HRESULT Poll() = 0;
};

struct IDirectInputA : IUnknown {
    // Guid: GUID_SysKeyboard, GUID_SysMouse or a joystick's guidInstance.
    virtual HRESULT CreateDevice(REFGUID Guid, IDirectInputDeviceA** Device, IUnknown* Outer) = 0;
    // Only DIDEVTYPE_JOYSTICK is offered; with DIEDFL_FORCEFEEDBACK only the joysticks that
    // can rumble. Joysticks attached since the last call are found.
    virtual HRESULT EnumDevices(DWORD DevType, LPDIENUMDEVICESCALLBACKA Callback, LPVOID Ref,
                                DWORD Flags) = 0;
};

HRESULT DirectInputCreateA(HINSTANCE Instance, DWORD Version, IDirectInputA** Out, IUnknown* Outer);
