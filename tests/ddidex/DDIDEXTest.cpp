#include "ddidex/DeadZone.h"

#include "tests/ddidex/DDIDEXFixture.h"

#include <climits>
#include <cstring>
#include <vector>

using ddidex::TDDIDEX;

namespace {

bool SameState(const DIJOYSTATE& A, const DIJOYSTATE& B) {
    return std::memcmp(&A, &B, sizeof A) == 0;
}

} // namespace

TEST(DeadZone, CentreReadsZeroAndTheRestStretchesWithoutOverflow) {
    struct TCase {
        std::int32_t DeadZone, Value, Expected;
    };
    const TCase cases[] = {
        {5, 1638, 0},           {5, 1639, 1},        {5, 10000, 8802},      {5, 32767, 32767},
        {5, -32768, -32768},    {5, -1638, 0},       {5, -1639, -1},        {5, 0, 0},
        {0, 123, 123},          {0, -32768, -32768}, {0, INT_MIN, INT_MIN}, {100, 32767, 0},
        {100, -32768, 0},       {250, 32767, 0},     {INT_MAX, 32767, 0},   {INT_MAX, INT_MIN, 0},
        {99, 32767, 32800},     // the truncated bounds let the very end pass the range a little
        {99, INT_MAX, INT_MAX}, // values no range allows are held at the 32-bit ends
        {99, INT_MIN, INT_MIN}, {-5, 1000, 1000}, // a negative dead zone is none
        {INT_MIN, -7, -7},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ddidex::TDeadZone(c.DeadZone).Apply(c.Value), c.Expected)
            << "dead zone " << c.DeadZone << ", value " << c.Value;
}

TEST_F(InputComponent, StartsWithItsDefaultsAndTheDefaultKeyMaps) {
    TDDIDEX& joy = Start();
    EXPECT_EQ(joy.DeadZone, 5);
    EXPECT_TRUE(joy.AutoInitialize);
    EXPECT_FALSE(joy.BackGround);
    ASSERT_NE(joy.DirectInput, nullptr);
    EXPECT_TRUE(DInputTest::Acquired(joy.Keyboard));
    EXPECT_TRUE(DInputTest::Acquired(joy.Mouse));
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Keyboard), DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Mouse), DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
    const std::int32_t map1[40] = {
        DIK_Z, DIK_X, DIK_C,  DIK_A,    DIK_S,    DIK_D,     DIK_1, DIK_2, DIK_3, DIK_4,
        DIK_5, DIK_6, DIK_7,  DIK_8,    DIK_9,    DIK_0,     0,     0,     0,     0,
        0,     0,     0,      0,        0,        0,         0,     0,     0,     0,
        0,     0,     DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, 0,     0,     0,     0};
    std::int32_t map2[40] = {DIK_SPACE, DIK_ESCAPE};
    const std::int32_t pad[8] = {DIK_NUMPAD8, DIK_NUMPAD2, DIK_NUMPAD4, DIK_NUMPAD6,
                                 DIK_NUMPAD7, DIK_NUMPAD9, DIK_NUMPAD1, DIK_NUMPAD3};
    std::copy(std::begin(pad), std::end(pad), map2 + 32);
    EXPECT_TRUE(std::equal(joy.KeyMap1.begin(), joy.KeyMap1.end(), map1));
    EXPECT_TRUE(std::equal(joy.KeyMap2.begin(), joy.KeyMap2.end(), map2));
}

TEST_F(InputComponent, WithoutAutoInitializeNothingIsCreatedAndNothingReads) {
    TDDIDEX& joy = Start([](TDDIDEX& J) { J.AutoInitialize = false; });
    EXPECT_EQ(joy.DirectInput, nullptr);
    joy.State.lX = 7;
    EXPECT_FALSE(joy.ReadDevice(true, 0)); // a missing keyboard
    EXPECT_FALSE(joy.ReadDevice(true, 1)); // a missing mouse
    EXPECT_EQ(joy.State.lX, 7);
    EXPECT_FALSE(joy.Poll({2, 0}));
    EXPECT_EQ(joy.State.lX, 0);
}

TEST_F(InputComponent, KeysDriveTheAxesAndButtonsOfTheMergedState) {
    TDDIDEX& joy = Start();
    struct TCase {
        std::vector<BYTE> Keys;
        std::int32_t X, Y;
        std::vector<int> Buttons;
    };
    const TCase cases[] = {
        {{}, 0, 0, {}},
        {{DIK_LEFT}, -1, 0, {}},
        {{DIK_RIGHT}, 1, 0, {}},
        {{DIK_LEFT, DIK_RIGHT}, 0, 0, {}},
        {{DIK_UP}, 0, -1, {}},
        {{DIK_DOWN}, 0, 1, {}},
        {{DIK_UP, DIK_DOWN}, 0, 0, {}},
        {{DIK_NUMPAD4}, -1, 0, {}},
        {{DIK_NUMPAD6}, 1, 0, {}},
        {{DIK_NUMPAD8}, 0, -1, {}},
        {{DIK_NUMPAD2}, 0, 1, {}},
        {{DIK_NUMPAD7}, -1, -1, {}},
        {{DIK_NUMPAD9}, 1, -1, {}},
        {{DIK_NUMPAD1}, -1, 1, {}},
        {{DIK_NUMPAD3}, 1, 1, {}},
        {{DIK_NUMPAD7, DIK_RIGHT}, 0, -1, {}},
        {{DIK_NUMPAD7, DIK_NUMPAD3}, 0, 0, {}},
        {{DIK_SPACE}, 0, 0, {0}},
        {{DIK_Z}, 0, 0, {0}},
        {{DIK_ESCAPE}, 0, 0, {1}},
        {{DIK_X}, 0, 0, {1}},
        {{DIK_C, DIK_A, DIK_S, DIK_D}, 0, 0, {2, 3, 4, 5}},
        {{DIK_1, DIK_0}, 0, 0, {6, 15}},
    };
    for (const TCase& c : cases) {
        Hold(c.Keys);
        EXPECT_TRUE(joy.Poll({2, 0})); // no joystick: the keyboard alone is read
        const ddidex::TDDIDEXDirections d = Directions();
        std::string keys;
        for (BYTE k : c.Keys)
            keys += std::to_string(k) + " ";
        EXPECT_EQ(d.X, c.X) << "keys " << keys;
        EXPECT_EQ(d.Y, c.Y) << "keys " << keys;
        for (int b = 0; b < 32; ++b)
            EXPECT_EQ(joy.ButtonDown(b),
                      std::find(c.Buttons.begin(), c.Buttons.end(), b) != c.Buttons.end())
                << "keys " << keys << "button " << b;
    }
    EXPECT_FALSE(joy.ButtonDown(-1));
    EXPECT_FALSE(joy.ButtonDown(32));
}

TEST_F(InputComponent, AKeyMapBeyondTheKeyArrayNamesNoKey) {
    TDDIDEX& joy = Start();
    joy.KeyMap1[0] = 256;
    joy.KeyMap2[0] = -1;
    joy.KeyMap1[TDDIDEX::vbLeft] = 0x7FFFFFFF;
    Hold({DIK_Z, DIK_LEFT});
    EXPECT_TRUE(joy.Poll({0}));
    EXPECT_FALSE(joy.ButtonDown(0));
    EXPECT_EQ(Directions().X, 0);
}

TEST_F(InputComponent, AnEmptyListOrAMissingDeviceReadsNothing) {
    TDDIDEX& joy = Start();
    Hold({DIK_LEFT});
    ASSERT_TRUE(joy.Poll({0}));
    const DIJOYSTATE before = joy.State;
    EXPECT_FALSE(joy.Poll({}));
    EXPECT_TRUE(SameState(joy.State, before));

    const std::int32_t beyond = TDDIDEX::kFirstJoystick + joy.JoystickCount;
    EXPECT_FALSE(joy.ReadDevice(true, beyond));
    EXPECT_FALSE(joy.ReadDevice(true, -1));
    EXPECT_TRUE(SameState(joy.State, before));
    EXPECT_FALSE(joy.ReadDevice(false, beyond)); // cleared, then nothing read
    EXPECT_TRUE(SameState(joy.State, DIJOYSTATE{}));
}

TEST_F(InputComponent, WithoutAJoystickTheMainWindowsListReadsTheKeyboard) {
    TDDIDEX& joy = Start();
    if (joy.JoystickCount > 0)
        GTEST_SKIP() << "a joystick is attached to this machine";
    Hold({DIK_LEFT});
    EXPECT_TRUE(joy.Poll({2, 0}));
    EXPECT_EQ(Directions().X, -1);
}

TEST_F(InputComponent, TheMouseReplacesTheAxesAndMergesItsButtons) {
    TDDIDEX& joy = Start();
    Hold({DIK_LEFT, DIK_SPACE});
    DInputTest::MoveMouse(joy.DirectInput, 0, 4, -120);
    DInputTest::SetMouseButton(joy.DirectInput, 1, true);
    EXPECT_TRUE(joy.Poll({0, 1}));
    EXPECT_EQ(joy.State.lX, 0); // the keyboard's left is replaced, even when merging
    EXPECT_EQ(joy.State.lY, 4);
    EXPECT_EQ(joy.State.lZ, -120);
    EXPECT_TRUE(joy.ButtonDown(0));
    EXPECT_TRUE(joy.ButtonDown(1));
}

TEST_F(InputComponent, AJoystickMergesByBitwiseOrSoNegativeWins) {
    TTestJoystick stick({"Merge Stick"});
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("Merge Stick");
    ASSERT_GE(device, 2);
    const std::int32_t list[] = {device, 0};

    stick.SetAxis(0, 32767); // pushed right
    Hold({DIK_LEFT});
    EXPECT_TRUE(joy.Poll(list));
    EXPECT_EQ(Directions().X, -1);

    stick.SetAxis(0, -32768); // pushed left
    Hold({DIK_RIGHT});
    EXPECT_TRUE(joy.Poll(list));
    EXPECT_EQ(Directions().X, -1);

    stick.SetAxis(0, 0);
    stick.SetAxis(1, 20000);
    stick.SetButton(1, true);
    stick.SetHat(0, TTestJoystick::kHatLeft);
    Hold({DIK_Z});
    EXPECT_TRUE(joy.Poll(list));
    const ddidex::TDDIDEXDirections d = Directions();
    EXPECT_EQ(d.X, 0);
    EXPECT_EQ(d.Y, 1);
    EXPECT_EQ(d.POV0, 27000);
    EXPECT_EQ(d.POV1, -1);
    EXPECT_TRUE(joy.ButtonDown(0));
    EXPECT_TRUE(joy.ButtonDown(1));

    // The keyboard first: the joystick merges in.
    stick.SetAxis(1, 0);
    Hold({DIK_UP});
    EXPECT_TRUE(joy.Poll({0, device}));
    EXPECT_EQ(Directions().Y, -1);
    EXPECT_EQ(Directions().POV0, 27000);
}

TEST_F(InputComponent, TheDeadZoneAppliesToEveryAxisAndSliderOfAJoystick) {
    TTestJoystick stick({"Dead Zone Stick"});
    struct TCase {
        std::int32_t DeadZone;
        std::int16_t Value;
        LONG Expected;
    };
    const TCase cases[] = {
        {5, 10000, 8802}, {5, 1638, 0},    {0, 1000, 1000},
        {0, -1, -1},      {100, 32767, 0}, {100, -32768, 0},
    };
    for (const TCase& c : cases) {
        TDDIDEX& joy = Start([&](TDDIDEX& J) { J.DeadZone = c.DeadZone; });
        const std::int32_t device = DeviceOf("Dead Zone Stick");
        ASSERT_GE(device, 2);
        for (int axis = 0; axis < 8; ++axis)
            stick.SetAxis(axis, c.Value);
        ASSERT_TRUE(joy.ReadDevice(false, device));
        const LONG axes[8] = {joy.State.lX,           joy.State.lY,          joy.State.lZ,
                              joy.State.lRx,          joy.State.lRy,         joy.State.lRz,
                              joy.State.rglSlider[0], joy.State.rglSlider[1]};
        for (int axis = 0; axis < 8; ++axis)
            EXPECT_EQ(axes[axis], c.Expected)
                << "dead zone " << c.DeadZone << ", axis " << axis << ", value " << c.Value;
    }
}

TEST_F(InputComponent, JoysticksGetTheFullRangeOnEightAxesAndAreAcquired) {
    TTestJoystick stick({"Range Stick"});
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("Range Stick");
    ASSERT_GE(device, 2);
    IDirectInputDevice2A* j = joy.Joysticks[device - 2];
    EXPECT_TRUE(DInputTest::Acquired(j));
    EXPECT_EQ(DInputTest::CooperativeLevel(j), DISCL_FOREGROUND | DISCL_EXCLUSIVE);
    for (DWORD offset = 0; offset < 32; offset += 4) {
        LONG lo = 0, hi = 0;
        DInputTest::Range(j, offset, lo, hi);
        EXPECT_EQ(lo, -32768) << offset;
        EXPECT_EQ(hi, 32767) << offset;
    }
}

TEST_F(InputComponent, ForceFeedbackJoysticksComeFirstAndOnlyOnce) {
    TTestJoystick plain({"Plain Stick"});
    TTestJoystick rumble1({"Rumble Pad", 2, 8, 0, true});
    TTestJoystick rumble2({"Rumble Pad", 2, 8, 0, true});
    TDDIDEX& joy = Start();
    const std::int32_t first = DeviceOf("Rumble Pad");
    const std::int32_t plainDevice = DeviceOf("Plain Stick");
    ASSERT_GE(first, 2);
    ASSERT_GE(plainDevice, 2);
    EXPECT_LT(first, plainDevice);
    EXPECT_EQ(std::count(joy.JoystickNames.begin(), joy.JoystickNames.end(), "Rumble Pad"), 2);
    EXPECT_EQ(joy.JoystickNames[first - 1], "Rumble Pad"); // the twin follows at once
    EXPECT_TRUE(joy.ForceFeedback[first]);
    EXPECT_TRUE(joy.ForceFeedback[first + 1]);
    EXPECT_FALSE(joy.ForceFeedback[plainDevice]);
    EXPECT_FALSE(joy.EnumeratingForceFeedback);
    EXPECT_EQ(static_cast<int>(joy.JoystickNames.size()), joy.JoystickCount);
}

TEST_F(InputComponent, ASeventeenthJoystickIsIgnored) {
    std::vector<std::unique_ptr<TTestJoystick>> sticks;
    for (int i = 1; i <= 17; ++i)
        sticks.push_back(std::make_unique<TTestJoystick>(
            TTestJoystick::TShape{"Stick " + std::to_string(100 + i)}));
    TDDIDEX& joy = Start();
    EXPECT_EQ(joy.JoystickCount, 16);
    EXPECT_EQ(joy.JoystickNames.size(), 16u);
    EXPECT_EQ(DeviceOf("Stick 117"), -1);
    EXPECT_TRUE(joy.ReadDevice(false, 17));
    EXPECT_FALSE(joy.ReadDevice(false, 18));
}

TEST_F(InputComponent, ASecondInitializeReleasesRestoresAndEnumeratesAnew) {
    TTestJoystick first({"First Stick"});
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("First Stick");
    ASSERT_GE(device, 2);
    IDirectInputA* oldInput = joy.DirectInput;
    IDirectInputDeviceA* oldDevices[] = {joy.Keyboard, joy.Mouse, joy.Joysticks[device - 2]};
    oldInput->AddRef();
    for (IDirectInputDeviceA* d : oldDevices)
        d->AddRef();
    joy.KeyMap1[0] = 0;
    joy.KeyMap2[TDDIDEX::vbLeft] = DIK_A;

    TTestJoystick late({"Late Stick"});
    joy.Initialize();
    for (IDirectInputDeviceA* d : oldDevices) {
        EXPECT_FALSE(DInputTest::Acquired(d));
        EXPECT_EQ(d->Release(), 0u); // ours was the last reference
    }
    EXPECT_EQ(oldInput->Release(), 0u);
    EXPECT_EQ(joy.KeyMap1[0], DIK_Z);
    EXPECT_EQ(joy.KeyMap2[TDDIDEX::vbLeft], DIK_NUMPAD4);
    EXPECT_GE(DeviceOf("First Stick"), 2);
    EXPECT_GE(DeviceOf("Late Stick"), 2);
    EXPECT_EQ(static_cast<int>(joy.JoystickNames.size()), joy.JoystickCount);
}

TEST_F(InputComponent, DestroyingTheComponentReleasesEverything) {
    TTestJoystick stick({"Owned Stick"});
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("Owned Stick");
    ASSERT_GE(device, 2);
    IDirectInputA* input = joy.DirectInput;
    IDirectInputDeviceA* devices[] = {joy.Keyboard, joy.Mouse, joy.Joysticks[device - 2]};
    input->AddRef();
    for (IDirectInputDeviceA* d : devices)
        d->AddRef();
    Joy.reset();
    for (IDirectInputDeviceA* d : devices) {
        EXPECT_FALSE(DInputTest::Acquired(d));
        EXPECT_EQ(d->Release(), 0u);
    }
    EXPECT_EQ(input->Release(), 0u);
}

TEST_F(InputComponent, ABackgroundWindowFailsTheReadUntilTheComponentAcquiresAgain) {
    TDDIDEX& joy = Start();
    Hold({DIK_LEFT});
    ASSERT_TRUE(joy.Poll({0}));
    {
        QMainWindow other;
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        EXPECT_FALSE(joy.Poll({0}));
        EXPECT_FALSE(joy.Poll({1}));
    }
    Owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Owner));
    EXPECT_TRUE(joy.Poll({0}));
    EXPECT_EQ(Directions().X, 0); // the left key was released when the focus went
    QTest::keyPress(&Owner, Qt::Key_Left);
    EXPECT_TRUE(joy.Poll({0}));
    EXPECT_EQ(Directions().X, -1);
    EXPECT_FALSE(joy.Poll({1})); // the mouse is acquired again by its failed read
    EXPECT_TRUE(joy.Poll({1}));
}

TEST_F(InputComponent, InTheBackgroundModeTheKeyboardAndJoysticksReadBehindOtherWindows) {
    TTestJoystick stick({"Background Stick"});
    TDDIDEX& joy = Start([](TDDIDEX& J) { J.BackGround = true; });
    const std::int32_t device = DeviceOf("Background Stick");
    ASSERT_GE(device, 2);
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Keyboard), DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Mouse), DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Joysticks[device - 2]),
              DISCL_BACKGROUND | DISCL_EXCLUSIVE);
    QMainWindow other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    stick.SetAxis(0, 32767);
    EXPECT_TRUE(joy.Poll({device, 0}));
    EXPECT_EQ(Directions().X, 1);
    EXPECT_FALSE(joy.Poll({1}));
}

TEST_F(InputComponent, FailedReadsRetryTheKeyboardOnceAndLeaveTheEarlierSteps) {
    TTestJoystick stick({"Read Stick"});
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("Read Stick");
    ASSERT_GE(device, 2);
    Hold({DIK_LEFT});
    DInputFailurePlan().Fail(DInputCall::GetDeviceState, DIERR_INPUTLOST, 0, 1);
    EXPECT_TRUE(joy.Poll({0})); // acquired again and read at the second try
    EXPECT_EQ(Directions().X, -1);

    stick.SetAxis(1, 32767);
    DInputFailurePlan().Fail(DInputCall::GetDeviceState, DIERR_INPUTLOST, 1, 2);
    EXPECT_TRUE(joy.Poll({device, 0})); // the joystick read; the keyboard failed twice
    EXPECT_EQ(Directions().X, 0);
    EXPECT_EQ(Directions().Y, 1);

    const int acquires = DInputFailurePlan().Calls(DInputCall::Acquire);
    DInputFailurePlan().Fail(DInputCall::GetDeviceState, DIERR_INPUTLOST, 0, 1);
    EXPECT_FALSE(joy.ReadDevice(false, device));
    DInputFailurePlan().Fail(DInputCall::GetDeviceState, DIERR_INPUTLOST, 0, 1);
    EXPECT_FALSE(joy.ReadDevice(false, 1));
    EXPECT_EQ(DInputFailurePlan().Calls(DInputCall::Acquire), acquires + 2);
}

TEST_F(InputComponent, AJoystickThatCannotBeCreatedOrAskedIsSkippedQuietly) {
    TTestJoystick stick({"Shy Stick"});
    // Keyboard and mouse are created first; the joystick's own calls fail.
    DInputFailurePlan().Fail(DInputCall::CreateDevice, DIERR_GENERIC, 2, 1);
    TDDIDEX* joy = &Start();
    EXPECT_EQ(DeviceOf("Shy Stick"), -1);
    EXPECT_EQ(static_cast<int>(joy->JoystickNames.size()), joy->JoystickCount);

    DInputFailurePlan().Clear();
    DInputFailurePlan().Fail(DInputCall::DeviceQueryInterface, E_NOINTERFACE, 0, 1);
    joy = &Start();
    EXPECT_EQ(DeviceOf("Shy Stick"), -1);
    for (int k = 0; k < joy->JoystickCount; ++k)
        EXPECT_NE(joy->Joysticks[k], nullptr);
}

TEST_F(InputComponent, AJoystickThatRefusesExclusiveAccessIsSharedWithoutAReport) {
    TTestJoystick stick({"Shared Stick"});
    DInputFailurePlan().Fail(DInputCall::SetCooperativeLevel, DIERR_OTHERAPPHASPRIO, 2, 1);
    TDDIDEX& joy = Start();
    const std::int32_t device = DeviceOf("Shared Stick");
    ASSERT_GE(device, 2);
    EXPECT_EQ(DInputTest::CooperativeLevel(joy.Joysticks[device - 2]),
              DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
}
