#pragma once
// The input component: the keyboard, the mouse and every attached joystick made to look like one
// joystick. The caller names the devices to read, in order (0 keyboard, 1 mouse, 2 to 17 the
// joysticks in the order found); the first replaces the merged State, each further one is ORed
// into it. Keys are mapped onto the joystick's buttons and its X and Y axes, so one set of
// commands serves both.

#include "platform/dinput/DInput.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ddidex {

// X, Y, Z, RX, RY, RZ and the sliders each as -1, 0 or +1; the point-of-view values as read.
struct TDDIDEXDirections {
    std::int32_t X, Y, Z, RX, RY, RZ, Slider0, Slider1;
    std::int32_t POV0, POV1, POV2, POV3;
};

class TDDIDEX {
public:
    static constexpr std::int32_t kKeyboard = 0;
    static constexpr std::int32_t kMouse = 1;
    static constexpr std::int32_t kFirstJoystick = 2;
    static constexpr int kMaxJoysticks = 16;
    // 0 to 31 the buttons of State; then the directions.
    static constexpr int kVirtualButtons = 40;
    enum TDirectionButton {
        vbUp = 32,
        vbDown,
        vbLeft,
        vbRight,
        vbUpLeft,
        vbUpRight,
        vbDownLeft,
        vbDownRight
    };

    // Owner is the window whose foreground the devices follow; it must outlive the component.
    explicit TDDIDEX(HWND Owner);
    virtual ~TDDIDEX();
    TDDIDEX(const TDDIDEX&) = delete;
    TDDIDEX& operator=(const TDDIDEX&) = delete;

    // Runs once the owner has set the properties: Initialize when AutoInitialize is set.
    virtual void Loaded();
    // (Re)creates DirectInput, the keyboard, the mouse and every attached joystick, force-feedback
    // joysticks first, and acquires them. A failure is reported to "ddid.debug" and ends the
    // program.
    void Initialize();
    // Reads Devices in order into State. True when at least one was read; an empty list reads
    // nothing and leaves State alone. Allocates nothing.
    bool Poll(const std::int32_t* Devices, std::size_t Count);
    bool Poll(std::initializer_list<std::int32_t> Devices) {
        return Poll(Devices.begin(), Devices.size());
    }
    template <std::size_t N> bool Poll(const std::int32_t (&Devices)[N]) {
        return Poll(Devices, N);
    }
    // One device into State, replacing it unless Merge. False when the device is missing or
    // cannot be read now; a lost device is acquired again for the next read.
    bool ReadDevice(bool Merge, std::int32_t Device);
    void GetDirections(TDDIDEXDirections& Directions) const;
    // True while button Index (0 to 31) of State is down; false for any other Index.
    bool ButtonDown(std::int32_t Index) const;

    bool AutoInitialize = true;
    IDirectInputA* DirectInput = nullptr;
    IDirectInputDeviceA* Keyboard = nullptr;
    IDirectInputDeviceA* Mouse = nullptr;
    std::vector<std::string> JoystickNames; // same order as Joysticks
    std::array<IDirectInputDevice2A*, kMaxJoysticks> Joysticks{};
    // Scan codes of the first and second key of each virtual button; 0 for none.
    std::array<std::int32_t, kVirtualButtons> KeyMap1{};
    std::array<std::int32_t, kVirtualButtons> KeyMap2{};
    DIJOYSTATE State{};
    std::int32_t JoystickCount = 0;
    // By device number: the joystick was found among the force-feedback ones.
    std::array<bool, kFirstJoystick + kMaxJoysticks> ForceFeedback{};
    // Read the keyboard and the joysticks also while the owner is in the background.
    bool BackGround = false;
    bool EnumeratingForceFeedback = false;
    // Of each half range of every joystick axis, in percent.
    std::int32_t DeadZone = 5;

private:
    static BOOL EnumJoystick(LPCDIDEVICEINSTANCEA Instance, LPVOID Ref);
    BOOL AddJoystick(const DIDEVICEINSTANCEA& Instance);
    void ReleaseDevices();
    void SetDefaultKeyMaps();
    bool ReadKeyboard();
    bool ReadMouse();
    bool ReadJoystick(bool Merge, int Index);
    BYTE Key(std::int32_t ScanCode) const;
    bool Pressed(int VirtualButton) const;

    HWND Owner;
    // Read buffers of their own, so that a poll allocates nothing.
    std::array<BYTE, 256> Keys{};
    DIMOUSESTATE MouseState{};
    DIJOYSTATE JoyState{};
};

} // namespace ddidex
