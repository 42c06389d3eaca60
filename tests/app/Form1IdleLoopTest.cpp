// The frame loop as the application's message loop runs it: it sleeps between steps, yet sees
// every key and joystick press a player makes between two drawn frames.
#include "app/Form1.h"

#include "platform/dinput/DInputTesting.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Runs the application's message loop for Ms milliseconds of real time.
void RunLoop(int Ms) {
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class IdleLoop : public ::testing::Test {
protected:
    void Start(TMultimediaClock& Clock) {
        Form = std::make_unique<TForm1>(Clock);
        Form->show();
        Form->activateWindow(); // a bare X server has no window manager to do it
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        vcl::Application->SetOnIdle([this](bool& Done) {
            ++Calls;
            Form->IdleHandler(Done);
        });
    }
    void TearDown() override { vcl::Application->SetOnIdle(nullptr); }
    TYachtState Local() const { return Form->Roster->GetState(Form->LocalId); }

    std::unique_ptr<TForm1> Form;
    int Calls = 0;
};

} // namespace

TEST_F(IdleLoop, SleepsUntilTheNextStepIsDueAndStillDrawsEveryStep) {
    TSystemClock clock;
    Start(clock);
    const std::uint32_t start = clock.timeGetTime();
    const int framesBefore = Form->DrawYacht1->FrameCounter;
    RunLoop(1000);
    const std::uint32_t elapsed = clock.timeGetTime() - start;
    const int frames = Form->DrawYacht1->FrameCounter - framesBefore;
    // A frame per step, whenever the machine lets the loop run in time: at least most of them.
    EXPECT_GE(frames, static_cast<int>(elapsed / 200) - 1);
    EXPECT_LE(frames, static_cast<int>(elapsed / 200) + 1);
    // A few calls per step (the wake-up, the messages the drawing itself causes), not one a
    // millisecond.
    EXPECT_LE(Calls, 4 * frames + 10) << Calls << " idle calls for " << frames << " frames";
}

TEST_F(IdleLoop, AKeyPressedAndReleasedBetweenFramesStillTurnsOnce) {
    TManualClock clock(1000);
    Start(clock);
    RunLoop(20);
    QTest::keyPress(Form.get(), Qt::Key_Left);
    RunLoop(20);
    QTest::keyRelease(Form.get(), Qt::Key_Left);
    RunLoop(20);
    EXPECT_EQ(Local().Heading, 0);
    clock.Advance(201); // the loop wakes for the step without being told
    RunLoop(300);
    EXPECT_EQ(Local().Heading, 5);
    clock.Advance(201);
    RunLoop(300);
    EXPECT_EQ(Local().Heading, 5);
}

TEST_F(IdleLoop, AJoystickPressBetweenFramesIsSeenThoughJoysticksSendNoMessages) {
    TTestJoystick stick({"Idle Stick"});
    TManualClock clock(1000);
    Start(clock);
    ASSERT_EQ(Form->Joy->JoystickCount, 1);
    RunLoop(20);
    // Pressed and let go while the loop waits, with no message to wake it: only polling sees
    // them. Each lasts as long as a quick tap.
    std::thread player([&] {
        using namespace std::chrono_literals;
        std::this_thread::sleep_for(20ms);
        stick.SetButton(0, true); // spinnaker up
        std::this_thread::sleep_for(80ms);
        stick.SetButton(0, false);
        stick.SetAxis(0, 32767); // a push right
        std::this_thread::sleep_for(80ms);
        stick.SetAxis(0, 0);
    });
    RunLoop(200);
    player.join();
    EXPECT_EQ(Local().Spinnaker, 0);
    clock.Advance(201);
    RunLoop(100);
    EXPECT_EQ(Local().Spinnaker, 1);
    EXPECT_EQ(Local().Heading, 355);
}

TEST_F(IdleLoop, ViewAndSpinnakerKeysActAtOnceThroughTheWindowsKeyEvents) {
    TManualClock clock(1000);
    Start(clock);
    struct TCase {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int ViewMode, Spinnaker;
    };
    const TCase cases[] = {
        {Qt::Key_U, Qt::NoModifier, 1, 0},    {Qt::Key_R, Qt::ShiftModifier, 0, 0},
        {Qt::Key_F, Qt::NoModifier, 2, 0},    {Qt::Key_U, Qt::ShiftModifier, 1, 0},
        {Qt::Key_S, Qt::ShiftModifier, 1, 1}, {Qt::Key_D, Qt::NoModifier, 1, 0},
        {Qt::Key_S, Qt::NoModifier, 1, 1},    {Qt::Key_R, Qt::NoModifier, 0, 1},
        {Qt::Key_F, Qt::ShiftModifier, 2, 1}, {Qt::Key_D, Qt::ShiftModifier, 2, 0},
    };
    for (const TCase& c : cases) {
        QTest::keyClick(Form.get(), c.Key, c.Modifiers);
        EXPECT_EQ(Form->DrawYacht1->ViewMode, c.ViewMode) << static_cast<int>(c.Key);
        EXPECT_EQ(Local().Spinnaker, c.Spinnaker) << static_cast<int>(c.Key);
    }
}
