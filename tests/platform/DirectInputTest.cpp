#include "platform/dinput/DInputTesting.h"
#include "platform/dinput/KeyScanCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD kForeground = DISCL_FOREGROUND | DISCL_NONEXCLUSIVE;
constexpr DWORD kBackground = DISCL_BACKGROUND | DISCL_NONEXCLUSIVE;

// One DirectInput object beside a window of the program that has the foreground.
class DirectInput : public ::testing::Test {
protected:
    void SetUp() override {
        DInputFailurePlan().Clear();
        Window.show();
        Window.activateWindow(); // a bare X server has no window manager to do it
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &DI, nullptr), DI_OK);
    }
    void TearDown() override {
        for (IDirectInputDeviceA*& d : Devices)
            ReleaseRef(d);
        ReleaseRef(DI);
        DInputFailurePlan().Clear();
    }

    // A device set up and acquired as the input component does it.
    IDirectInputDeviceA* Open(const GUID& Guid, const DIDATAFORMAT& Format, DWORD Level) {
        IDirectInputDeviceA* d = nullptr;
        EXPECT_EQ(DI->CreateDevice(Guid, &d, nullptr), DI_OK);
        if (!d)
            return nullptr;
        Devices.push_back(d);
        EXPECT_EQ(d->SetDataFormat(&Format), DI_OK);
        EXPECT_EQ(d->SetCooperativeLevel(&Window, Level), DI_OK);
        EXPECT_EQ(d->Acquire(), DI_OK);
        return d;
    }
    std::array<BYTE, 256> Keys(IDirectInputDeviceA* Keyboard, HRESULT Expected = DI_OK) {
        std::array<BYTE, 256> k{};
        EXPECT_EQ(Keyboard->GetDeviceState(k.size(), k.data()), Expected);
        return k;
    }
    // The joysticks enumerated now, by product name.
    std::vector<DIDEVICEINSTANCEA> Enumerate(DWORD Flags) {
        std::vector<DIDEVICEINSTANCEA> found;
        EXPECT_EQ(DI->EnumDevices(
                      DIDEVTYPE_JOYSTICK,
                      [](LPCDIDEVICEINSTANCEA I, LPVOID Ref) {
                          static_cast<std::vector<DIDEVICEINSTANCEA>*>(Ref)->push_back(*I);
                          return DIENUM_CONTINUE;
                      },
                      &found, Flags),
                  DI_OK);
        return found;
    }
    const DIDEVICEINSTANCEA* Find(const std::vector<DIDEVICEINSTANCEA>& Found,
                                  const std::string& Name) {
        for (const auto& f : Found)
            if (Name == f.tszProductName)
                return &f;
        return nullptr;
    }
    IDirectInputDeviceA* OpenJoystick(const std::string& Name) {
        const auto found = Enumerate(DIEDFL_ATTACHEDONLY);
        const DIDEVICEINSTANCEA* f = Find(found, Name);
        EXPECT_NE(f, nullptr) << Name;
        return f ? Open(f->guidInstance, c_dfDIJoystick, DISCL_FOREGROUND | DISCL_EXCLUSIVE)
                 : nullptr;
    }
    DIJOYSTATE Read(IDirectInputDeviceA* Joystick) {
        auto* j = static_cast<IDirectInputDevice2A*>(Joystick);
        EXPECT_EQ(j->Poll(), DI_OK);
        DIJOYSTATE s{};
        EXPECT_EQ(j->GetDeviceState(sizeof s, &s), DI_OK);
        return s;
    }
    void SetRange(IDirectInputDeviceA* Joystick, DWORD How, DWORD Obj, LONG Min, LONG Max,
                  HRESULT Expected = DI_OK) {
        DIPROPRANGE r{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), Obj, How}, Min, Max};
        EXPECT_EQ(Joystick->SetProperty(DIPROP_RANGE, &r.diph), Expected);
    }

    QMainWindow Window;
    IDirectInputA* DI = nullptr;
    std::vector<IDirectInputDeviceA*> Devices;
};

// Another window of the program takes the foreground for as long as it is shown.
class TOtherWindow {
public:
    TOtherWindow() {
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    }
    QMainWindow Window;
};

} // namespace

TEST(KeyScanCodes, PhysicalKeysAndMeaningsNameTheSameKeys) {
    struct TEvdev {
        std::uint32_t Code;
        BYTE Scan;
    };
    const TEvdev evdev[] = {
        {1, DIK_ESCAPE}, {44, DIK_Z},     {57, DIK_SPACE},  {71, DIK_NUMPAD7}, {81, DIK_NUMPAD3},
        {103, DIK_UP},   {105, DIK_LEFT}, {106, DIK_RIGHT}, {108, DIK_DOWN},   {96, 0x9C},
        {0, 0},          {84, 0},         {240, 0},         {0xFFFFFFFF, 0},
    };
    for (const TEvdev& e : evdev)
        EXPECT_EQ(ScanCodeFromEvdev(e.Code), e.Scan) << "evdev " << e.Code;

    struct TMeaning {
        int Key;
        bool Keypad;
        BYTE Scan;
    };
    const TMeaning meanings[] = {
        {Qt::Key_Z, false, DIK_Z},
        {Qt::Key_X, false, DIK_X},
        {Qt::Key_Space, false, DIK_SPACE},
        {Qt::Key_Escape, false, DIK_ESCAPE},
        {Qt::Key_Up, false, DIK_UP},
        {Qt::Key_Left, false, DIK_LEFT},
        {Qt::Key_7, false, DIK_7},
        {Qt::Key_Ampersand, false, DIK_7}, // shifted 7 is still the 7 key
        {Qt::Key_0, false, DIK_0},
        // The numeric pad as its own keys, Num Lock on (digits) or off (arrows).
        {Qt::Key_7, true, DIK_NUMPAD7},
        {Qt::Key_Home, true, DIK_NUMPAD7},
        {Qt::Key_Up, true, DIK_NUMPAD8},
        {Qt::Key_9, true, DIK_NUMPAD9},
        {Qt::Key_Left, true, DIK_NUMPAD4},
        {Qt::Key_6, true, DIK_NUMPAD6},
        {Qt::Key_End, true, DIK_NUMPAD1},
        {Qt::Key_Down, true, DIK_NUMPAD2},
        {Qt::Key_PageDown, true, DIK_NUMPAD3},
        {Qt::Key_Enter, false, 0x9C},
        {Qt::Key_Z, true, DIK_Z}, // a keypad flag on a key the pad lacks changes nothing
        {Qt::Key_unknown, false, 0},
        {Qt::Key_Launch0, false, 0},
    };
    for (const TMeaning& m : meanings)
        EXPECT_EQ(ScanCodeFromQtKey(m.Key, m.Keypad), m.Scan)
            << std::hex << m.Key << (m.Keypad ? " on the pad" : "");
}

TEST(KeyScanCodes, UnderX11AndWaylandThePhysicalKeyDecides) {
    struct TCase {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        std::uint32_t Native;
        bool NativeIsEvdev;
        BYTE Scan;
    };
    const TCase cases[] = {
        // A French layout's A sits where Q is: the physical key wins where it is known.
        {Qt::Key_A, Qt::NoModifier, 16 + 8, true, 0x10},
        {Qt::Key_A, Qt::NoModifier, 16 + 8, false, DIK_A},
        // The pad's 7 with Num Lock off, and the right-hand arrow keys beside it.
        {Qt::Key_Home, Qt::KeypadModifier, 71 + 8, true, DIK_NUMPAD7},
        {Qt::Key_Home, Qt::NoModifier, 102 + 8, true, 0xC7},
        {Qt::Key_Up, Qt::NoModifier, 103 + 8, true, DIK_UP},
        // No code, or one that names no key: the meaning decides.
        {Qt::Key_Z, Qt::NoModifier, 0, true, DIK_Z},
        {Qt::Key_Z, Qt::NoModifier, 5, true, DIK_Z},
        {Qt::Key_Z, Qt::NoModifier, 250 + 8, true, DIK_Z},
    };
    for (const TCase& c : cases) {
        const QKeyEvent e(QEvent::KeyPress, c.Key, c.Modifiers, c.Native, 0, 0);
        EXPECT_EQ(ScanCodeOfKeyEvent(e, c.NativeIsEvdev), c.Scan)
            << std::hex << c.Key << " native " << std::dec << c.Native;
    }
}

TEST_F(DirectInput, KeyEventsOfTheProgramsWindowsFillTheKeyArray) {
    IDirectInputDeviceA* kb = Open(GUID_SysKeyboard, c_dfDIKeyboard, kForeground);
    QTest::keyPress(&Window, Qt::Key_Z);
    QTest::keyPress(&Window, Qt::Key_Home, Qt::KeypadModifier);
    auto k = Keys(kb);
    EXPECT_EQ(k[DIK_Z], 0x80);
    EXPECT_EQ(k[DIK_NUMPAD7], 0x80);
    EXPECT_EQ(std::count(k.begin(), k.end(), 0x80), 2);

    // The window system repeats a held key as release-press pairs: it stays down.
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Z, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&Window, &repeat);
    EXPECT_EQ(Keys(kb)[DIK_Z], 0x80);

    QTest::keyRelease(&Window, Qt::Key_Z);
    QTest::keyRelease(&Window, Qt::Key_Home, Qt::KeypadModifier);
    k = Keys(kb);
    EXPECT_EQ(std::count(k.begin(), k.end(), 0), 256);

    // Where the window system gives the physical key (X11, Wayland) that key is pressed;
    // offscreen no physical key stands behind an event and its meaning decides.
    const QString platform = QGuiApplication::platformName();
    const bool physical = platform == QLatin1String("xcb") || platform.startsWith("wayland");
    QKeyEvent native(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 44 + 8, 0, 0, "a");
    QCoreApplication::sendEvent(&Window, &native);
    k = Keys(kb);
    EXPECT_EQ(k[physical ? DIK_Z : DIK_A], 0x80);
    EXPECT_EQ(k[physical ? DIK_A : DIK_Z], 0);
}

TEST_F(DirectInput, LosingTheForegroundReleasesKeysAndLosesForegroundDevices) {
    IDirectInputDeviceA* fg = Open(GUID_SysKeyboard, c_dfDIKeyboard, kForeground);
    IDirectInputDeviceA* bg = Open(GUID_SysKeyboard, c_dfDIKeyboard, kBackground);
    QTest::keyPress(&Window, Qt::Key_Left);
    {
        TOtherWindow other;
        Keys(fg, DIERR_INPUTLOST);
        EXPECT_EQ(fg->Acquire(), DIERR_OTHERAPPHASPRIO);
        Keys(fg, DIERR_NOTACQUIRED);
        EXPECT_EQ(Keys(bg)[DIK_LEFT], 0); // its release went to the other window
    }
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    EXPECT_EQ(fg->Acquire(), DI_OK);
    QTest::keyPress(&Window, Qt::Key_Left);
    EXPECT_EQ(Keys(fg)[DIK_LEFT], 0x80);

    // A loss between two reads is a loss, even with the foreground back by the second.
    DInputTest::LoseFocus(DI);
    Keys(fg, DIERR_INPUTLOST);
    EXPECT_EQ(fg->Acquire(), DI_OK);
    Keys(fg);
}

TEST_F(DirectInput, TheMouseReportsMotionAndWheelSinceTheLastRead) {
    IDirectInputDeviceA* mouse = Open(GUID_SysMouse, c_dfDIMouse, kForeground);
    QTest::mouseMove(Window.windowHandle(), QPoint(10, 10));
    QTest::mouseMove(Window.windowHandle(), QPoint(15, 7));
    DInputTest::MoveMouse(DI, 0, 0, 240);
    QTest::mousePress(&Window, Qt::RightButton, {}, QPoint(15, 7));
    DInputTest::SetMouseButton(DI, 3, true);
    DIMOUSESTATE m{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.lX, 5);
    EXPECT_EQ(m.lY, -3);
    EXPECT_EQ(m.lZ, 240);
    EXPECT_EQ(
        (std::array<BYTE, 4>{m.rgbButtons[0], m.rgbButtons[1], m.rgbButtons[2], m.rgbButtons[3]}),
        (std::array<BYTE, 4>{0, 0x80, 0, 0x80}));
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.lX, 0);
    EXPECT_EQ(m.lZ, 0);

    // Motion while the mouse is not acquired is not owed to it afterwards.
    mouse->Unacquire();
    DInputTest::MoveMouse(DI, 100, 100, 0);
    mouse->Acquire();
    DInputTest::MoveMouse(DI, -2, 1, 0);
    ASSERT_EQ(mouse->GetDeviceState(sizeof m, &m), DI_OK);
    EXPECT_EQ(m.lX, -2);
    EXPECT_EQ(m.lY, 1);
}

TEST_F(DirectInput, AJoystickReportsAxesSlidersHatsAndButtonsInItsRanges) {
    TTestJoystick stick({"テスト スティック", 8, 16, 2, false});
    IDirectInputDeviceA* j = OpenJoystick("テスト スティック");
    ASSERT_NE(j, nullptr);
    j->Unacquire();
    SetRange(j, DIPH_BYOFFSET, 0, -32768, 32767);
    SetRange(j, DIPH_BYOFFSET, 4, 0, 1000);
    SetRange(j, DIPH_BYOFFSET, 24, -100, 100); // the first slider
    ASSERT_EQ(j->Acquire(), DI_OK);
    stick.SetAxis(0, -32768);
    stick.SetAxis(1, 32767);
    stick.SetAxis(2, -32768); // no range set: the platform's 0 to 65535
    stick.SetAxis(6, 32767);
    stick.SetAxis(7, 12345); // the second slider, identity in -32768..32767 after a range
    stick.SetHat(0, TTestJoystick::kHatRight | TTestJoystick::kHatUp);
    stick.SetButton(3, true);
    stick.SetButton(15, true);
    DIJOYSTATE s = Read(j);
    EXPECT_EQ(s.lX, -32768);
    EXPECT_EQ(s.lY, 1000);
    EXPECT_EQ(s.lZ, 0);
    EXPECT_EQ(s.rglSlider[0], 100);
    EXPECT_EQ(s.rglSlider[1], 12345 + 32768);
    EXPECT_EQ(s.rgdwPOV[0], 4500u);
    EXPECT_EQ(s.rgdwPOV[1], 0xFFFFFFFFu); // centred
    EXPECT_EQ(s.rgdwPOV[2], 0xFFFFFFFFu); // absent hats read centred too
    EXPECT_EQ(s.rgbButtons[3], 0x80);
    EXPECT_EQ(s.rgbButtons[15], 0x80);
    EXPECT_EQ(s.rgbButtons[0], 0);
    EXPECT_EQ(s.rgbButtons[16], 0);
    LONG lo = 0, hi = 0;
    DInputTest::Range(j, 4, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1000);

    struct THat {
        std::uint8_t Direction;
        DWORD Pov;
    };
    const THat hats[] = {
        {TTestJoystick::kHatUp, 0},
        {TTestJoystick::kHatUp | TTestJoystick::kHatRight, 4500},
        {TTestJoystick::kHatRight, 9000},
        {TTestJoystick::kHatDown | TTestJoystick::kHatRight, 13500},
        {TTestJoystick::kHatDown, 18000},
        {TTestJoystick::kHatDown | TTestJoystick::kHatLeft, 22500},
        {TTestJoystick::kHatLeft, 27000},
        {TTestJoystick::kHatUp | TTestJoystick::kHatLeft, 31500},
        {TTestJoystick::kHatCentred, 0xFFFFFFFF},
    };
    for (const THat& h : hats) {
        stick.SetHat(1, h.Direction);
        EXPECT_EQ(Read(j).rgdwPOV[1], h.Pov) << int(h.Direction);
    }
}

TEST_F(DirectInput, ForceFeedbackEnumerationOffersOnlyJoysticksThatRumble) {
    TTestJoystick plain({"Plain Stick"});
    TTestJoystick rumble({"Rumble Pad", 2, 8, 0, true});
    const auto all = Enumerate(DIEDFL_ATTACHEDONLY);
    ASSERT_NE(Find(all, "Plain Stick"), nullptr);
    ASSERT_NE(Find(all, "Rumble Pad"), nullptr);
    EXPECT_EQ(Find(all, "Plain Stick")->guidFFDriver, GUID_NULL);
    EXPECT_FALSE(Find(all, "Rumble Pad")->guidFFDriver == GUID_NULL);
    const auto ff = Enumerate(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
    EXPECT_EQ(Find(ff, "Plain Stick"), nullptr);
    EXPECT_NE(Find(ff, "Rumble Pad"), nullptr);
}

TEST_F(DirectInput, PluggingInAndOutIsSeenByTheNextEnumerationAndRead) {
    EXPECT_EQ(Find(Enumerate(DIEDFL_ATTACHEDONLY), "Late Stick"), nullptr);
    auto late = std::make_unique<TTestJoystick>(TTestJoystick::TShape{"Late Stick"});
    const auto found = Enumerate(DIEDFL_ATTACHEDONLY);
    ASSERT_NE(Find(found, "Late Stick"), nullptr);
    const GUID instance = Find(found, "Late Stick")->guidInstance;
    IDirectInputDeviceA* j = OpenJoystick("Late Stick");
    ASSERT_NE(j, nullptr);
    Read(j);

    late.reset();
    EXPECT_EQ(static_cast<IDirectInputDevice2A*>(j)->Poll(), DIERR_INPUTLOST);
    DIJOYSTATE s{};
    EXPECT_NE(j->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(j->Acquire(), DIERR_INPUTLOST);
    IDirectInputDeviceA* gone = nullptr;
    EXPECT_EQ(DI->CreateDevice(instance, &gone, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(gone, nullptr);
}

TEST_F(DirectInput, CallsOutsideTheRulesAreRefused) {
    IDirectInputDeviceA* kb = nullptr;
    ASSERT_EQ(DI->CreateDevice(GUID_SysKeyboard, &kb, nullptr), DI_OK);
    Devices.push_back(kb);
    BYTE keys[256];
    EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(kb->SetDataFormat(&c_dfDIJoystick), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(kb->SetCooperativeLevel(nullptr, kForeground), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&Window, DISCL_EXCLUSIVE | DISCL_BACKGROUND),
              DIERR_UNSUPPORTED);
    EXPECT_EQ(
        kb->SetCooperativeLevel(&Window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
        DIERR_INVALIDPARAM);
    EXPECT_EQ(
        kb->SetCooperativeLevel(&Window, DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NONEXCLUSIVE),
        DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&Window, kForeground | 0x10), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&Window, kForeground), DI_OK);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(kb->Acquire(), DI_OK);
    EXPECT_EQ(kb->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(kb->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(kb->SetCooperativeLevel(&Window, kBackground), DIERR_ACQUIRED);
    EXPECT_EQ(kb->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetProperty(DIPROP_RANGE, nullptr), DIERR_UNSUPPORTED);
    EXPECT_EQ(static_cast<IDirectInputDevice2A*>(kb)->Poll(), DI_NOEFFECT);
    EXPECT_EQ(kb->Unacquire(), DI_OK);
    EXPECT_EQ(kb->Unacquire(), DI_NOEFFECT);
    void* unknown = &unknown;
    EXPECT_EQ(kb->QueryInterface(GUID_SysMouse, &unknown), E_NOINTERFACE);
    EXPECT_EQ(unknown, nullptr);

    TTestJoystick stick({"Two Axes", 2, 4, 0, false});
    IDirectInputDeviceA* j = OpenJoystick("Two Axes");
    ASSERT_NE(j, nullptr);
    SetRange(j, DIPH_BYOFFSET, 0, 10, 10, DIERR_INVALIDPARAM);
    SetRange(j, DIPH_BYOFFSET, 8, -1, 1, DIERR_OBJECTNOTFOUND);  // no Z axis
    SetRange(j, DIPH_BYOFFSET, 32, -1, 1, DIERR_OBJECTNOTFOUND); // a point of view
    SetRange(j, DIPH_BYOFFSET, 2, -1, 1, DIERR_OBJECTNOTFOUND);
    SetRange(j, 7, 0, -1, 1, DIERR_INVALIDPARAM);
    SetRange(j, DIPH_DEVICE, 0, -5, 5);
    DIPROPRANGE shortRange{{16, sizeof(DIPROPHEADER), 0, DIPH_BYOFFSET}, -1, 1};
    EXPECT_EQ(j->SetProperty(DIPROP_RANGE, &shortRange.diph), DIERR_INVALIDPARAM);
    LONG lo = 0, hi = 0;
    DInputTest::Range(j, 4, lo, hi);
    EXPECT_EQ(hi, 5);

    IDirectInputDeviceA* d = nullptr;
    EXPECT_EQ(DI->CreateDevice(GUID_NULL, &d, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(DI->CreateDevice(GUID_SysMouse, &d, DI), MakeHResult(0x80040110));
    EXPECT_EQ(DI->EnumDevices(DIDEVTYPE_JOYSTICK, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
    IDirectInputA* other = nullptr;
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &other, nullptr), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0200, &other, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(other, nullptr);
}

TEST_F(DirectInput, EveryCallCanBeMadeToFail) {
    TTestJoystick stick({"Failing Stick"});
    IDirectInputDeviceA* kb = Open(GUID_SysKeyboard, c_dfDIKeyboard, kForeground);
    IDirectInputDeviceA* j = OpenJoystick("Failing Stick");
    ASSERT_NE(j, nullptr);
    auto* j2 = static_cast<IDirectInputDevice2A*>(j);
    constexpr HRESULT kCode = MakeHResult(0x8007ABCD);
    BYTE keys[256];
    DIPROPRANGE r{{sizeof r, sizeof r.diph, 0, DIPH_BYOFFSET}, -1, 1};
    void* second = nullptr;
    IDirectInputA* di = nullptr;
    IDirectInputDeviceA* d = nullptr;
    struct TCall {
        const std::string& Name;
        std::function<HRESULT()> Call;
    };
    const TCall calls[] = {
        {DInputCall::DirectInputCreateA,
         [&] { return DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &di, nullptr); }},
        {DInputCall::CreateDevice, [&] { return DI->CreateDevice(GUID_SysMouse, &d, nullptr); }},
        {DInputCall::EnumDevices,
         [&] {
             return DI->EnumDevices(
                 DIDEVTYPE_JOYSTICK, [](LPCDIDEVICEINSTANCEA, LPVOID) { return DIENUM_STOP; },
                 nullptr, DIEDFL_ATTACHEDONLY);
         }},
        {DInputCall::DeviceQueryInterface,
         [&] { return j->QueryInterface(IID_IDirectInputDevice2A, &second); }},
        {DInputCall::SetDataFormat, [&] { return kb->SetDataFormat(&c_dfDIKeyboard); }},
        {DInputCall::SetCooperativeLevel,
         [&] { return kb->SetCooperativeLevel(&Window, kForeground); }},
        {DInputCall::SetProperty, [&] { return j->SetProperty(DIPROP_RANGE, &r.diph); }},
        {DInputCall::Acquire, [&] { return kb->Acquire(); }},
        {DInputCall::Unacquire, [&] { return kb->Unacquire(); }},
        {DInputCall::GetDeviceState, [&] { return kb->GetDeviceState(sizeof keys, keys); }},
        {DInputCall::Poll, [&] { return j2->Poll(); }},
    };
    for (const TCall& c : calls) {
        DInputFailurePlan().Fail(c.Name, kCode);
        EXPECT_EQ(c.Call(), kCode) << c.Name;
    }
    EXPECT_EQ(di, nullptr);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK); // once, as asked
}
