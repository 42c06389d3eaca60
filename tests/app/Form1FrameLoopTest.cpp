#include "app/Form1.h"
#include "platform/com/ComRef.h"
#include "platform/d3drm/RMMeshBuilder.h"
#include "tests/app/YachtVisuals.h"
#include "yacht/SailTrim.h"
#include "yacht/YachtMath.h"

#include <cmath>

#include "platform/dinput/DInputTesting.h"

#include <QMainWindow>
#include <QTest>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The sample textures the build writes.
const std::string kHullSample = std::string(MAREVO_BINARY_DIR) + "/app/HALTEX.BMP";
const std::string kSpinnakerSample = std::string(MAREVO_BINARY_DIR) + "/app/SPINTEX.BMP";

class FrameLoop : public ::testing::Test {
protected:
    FrameLoop() : Clock(1000), Form(Clock) {}
    // The keyboard is read only while the main window has the foreground.
    void SetUp() override {
        // The tests run the frame function themselves: the application's idle loop must not
        // poll behind their backs while they wait for a window.
        vcl::Application->SetOnIdle(nullptr);
        Form.show();
        Form.activateWindow(); // a bare X server has no window manager to do it
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
        // The window was loaded before it was shown, so its keyboard could not be acquired
        // then; the first poll acquires it.
        Idle();
        ASSERT_TRUE(DInputTest::Acquired(Form.Joy->Keyboard));
    }

    // One idle call; returns how many frames it drew.
    int Idle() {
        const int before = Drawn();
        bool done = true;
        Form.IdleHandler(done);
        // It sleeps until a message comes or the next step is due, one past the period.
        EXPECT_TRUE(done);
        EXPECT_EQ(vcl::Application->IdleWakeRequested(),
                  Form.StepPeriod + 1 - Form.TimeAccumulator);
        return Drawn() - before;
    }
    int Drawn() const { return Form.DrawYacht1->FrameCounter; }
    int Steps() const { return static_cast<int>(Form.Roster->Yachts(1).Speed() / 0.02f + 0.5f); }
    TYachtState Local() const { return Form.Roster->GetState(Form.LocalId); }
    // Holds the arrow keys for the directions and Z and X for the buttons; releases the rest.
    void Press(int X, int Y, bool B0 = false, bool B1 = false) {
        IDirectInputA* input = Form.Joy->DirectInput;
        DInputTest::SetKey(input, DIK_LEFT, X < 0);
        DInputTest::SetKey(input, DIK_RIGHT, X > 0);
        DInputTest::SetKey(input, DIK_UP, Y < 0);
        DInputTest::SetKey(input, DIK_DOWN, Y > 0);
        DInputTest::SetKey(input, DIK_Z, B0);
        DInputTest::SetKey(input, DIK_X, B1);
    }
    // Yacht 1 is drawn with this heading and heel.
    void ExpectPlaced(float Heading, float Heel) {
        D3DVECTOR p, d, u;
        ASSERT_TRUE(Form.DrawYacht1->GetYachtPlacement(1, p, d, u));
        float dx, dz, ux, uy, uz;
        HeadingVector(dx, dz, Heading);
        UpVector(ux, uy, uz, Heel, Heading);
        EXPECT_NEAR(d.x, dx, 1e-5);
        EXPECT_NEAR(d.y, 0, 1e-5);
        EXPECT_NEAR(d.z, dz, 1e-5);
        EXPECT_NEAR(u.x, ux, 1e-5);
        EXPECT_NEAR(u.y, uy, 1e-5);
        EXPECT_NEAR(u.z, uz, 1e-5);
    }
    // Yacht 1's main-sail frame points where Pose says, relative to the yacht.
    bool MainSailIsAt(const TSailPose& Pose) {
        TComRef<IDirect3DRMFrame> yacht(yachtvisuals::Child(Form.DrawYacht1->YachtsFrame, 0));
        TComRef<IDirect3DRMFrame> main(yachtvisuals::Child(yacht.Get(), kMainSail));
        D3DVECTOR d, u;
        main->GetOrientation(yacht.Get(), &d, &u);
        return std::abs(d.x - Pose.DX) < 1e-5f && std::abs(d.z - Pose.DZ) < 1e-5f;
    }
    // Whether yacht Slot's hull (kHull) or one of its sails (0 main, 1 jib, 2 spinnaker) is
    // drawn with a texture.
    bool Textured(int Slot, int Part) {
        TComRef<IDirect3DRMFrameArray> yachts;
        Form.DrawYacht1->YachtsFrame->GetChildren(yachts.Out());
        TComRef<IDirect3DRMFrame> frame;
        yachts->GetElement(static_cast<DWORD>(Slot - 1), frame.Out());
        if (Part >= 0) {
            TComRef<IDirect3DRMFrameArray> sails;
            frame->GetChildren(sails.Out());
            sails->GetElement(static_cast<DWORD>(Part), frame.Out());
        }
        TComRef<IDirect3DRMVisualArray> visuals;
        frame->GetVisuals(visuals.Out());
        bool textured = false;
        for (DWORD i = 0; i < visuals->GetSize(); ++i) {
            TComRef<IDirect3DRMVisual> visual;
            visuals->GetElement(i, visual.Out());
            if (auto* mesh = dynamic_cast<TRMMeshBuilder*>(visual.Get()))
                for (const TPreparedTriangle& t : mesh->Geometry().Triangles)
                    textured |= t.Texture != nullptr;
        }
        return textured;
    }
    void SetHeading(float Heading) {
        TYachtState s = Local();
        s.Heading = Heading;
        Form.Roster->SetState(Form.LocalId, s);
    }

    TManualClock Clock;
    TForm1 Form;
};

} // namespace

TEST_F(FrameLoop, StartsWithTheLocalPlayerInSlotOne) {
    EXPECT_EQ(Form.LocalId, 1);
    EXPECT_EQ(Form.Roster->IndexOf(1), 1);
    EXPECT_TRUE(Form.DrawYacht1->SceneReady);
    EXPECT_TRUE(Form.DrawYacht1->YachtPresent(1));
    EXPECT_EQ(Form.ExpectedTextureSize, 49152);
    EXPECT_EQ(Form.StepPeriod, 200u);
    EXPECT_EQ(Form.LastTime, 1000u);
}

TEST_F(FrameLoop, NothingStepsUpToAndIncludingOnePeriod) {
    Clock.Advance(150);
    EXPECT_EQ(Idle(), 0);
    Clock.Advance(50);
    EXPECT_EQ(Idle(), 0); // exactly 200 ms waits
    EXPECT_EQ(Form.TimeAccumulator, 200u);
    Clock.Advance(1);
    EXPECT_EQ(Idle(), 1);
    EXPECT_EQ(Form.TimeAccumulator, 1u);
}

TEST_F(FrameLoop, AStallIsCaughtUpInStepsButDrawnOnce) {
    SetHeading(300); // speed climbs 0.02 a step: the speed counts the steps
    Clock.Advance(1000);
    EXPECT_EQ(Idle(), 1);
    EXPECT_EQ(Steps(), 4); // 1000 = 4 x 200 + 200 left, which must not step
    Clock.Advance(1);
    Idle();
    EXPECT_EQ(Steps(), 5);
    Clock.Advance(1050);
    Idle();
    EXPECT_EQ(Form.TimeAccumulator, 51u);
}

TEST_F(FrameLoop, TheTimersWrapAroundIsHarmless) {
    Clock.Set(0xFFFFFF00u);
    Form.LastTime = 0xFFFFFF00u;
    Clock.Set(0x00000100u); // 512 ms later, across the wrap
    EXPECT_EQ(Idle(), 1);
    EXPECT_EQ(Form.TimeAccumulator, 112u);
}

TEST_F(FrameLoop, TheDrawnFrameShowsTheSteppedStates) {
    SetHeading(300);
    Clock.Advance(201);
    Idle();
    // One step from rest at 300 degrees heels the yacht by -2 with the wind 60 off the bow:
    // the scene shows that heel, and the main sail eased out for that wind.
    const TYachtState s = Local();
    ASSERT_EQ(s.Heel, -2);
    ASSERT_EQ(s.WindAngle, 60);
    ExpectPlaced(300, -2);
    EXPECT_TRUE(MainSailIsAt(MainTrim(s, Form.DrawYacht1->FrameCounter - 1)));
}

TEST_F(FrameLoop, APushSeenBetweenFramesTurnsOnceAfterTheNextDrawing) {
    Press(1, 0);
    Clock.Advance(50);
    Idle(); // seen, not yet applied
    Press(0, 0);
    EXPECT_EQ(Local().Heading, 0);
    Clock.Advance(151);
    EXPECT_EQ(Idle(), 1);
    // Drawn first with heading 0, then turned right by 5.
    ExpectPlaced(0, Local().Heel);
    EXPECT_EQ(Local().Heading, 355);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().Heading, 355); // released: no further turn

    Press(-1, 0); // held left: 5 degrees per drawn frame
    for (int i = 0; i < 3; ++i) {
        Clock.Advance(201);
        Idle();
    }
    EXPECT_EQ(Local().Heading, 10);
}

TEST_F(FrameLoop, AKeyPressedOnTheMainWindowTurnsTheYachtAtTheNextFrame) {
    QTest::keyPress(&Form, Qt::Key_Left);
    BYTE keys[256];
    ASSERT_EQ(Form.Joy->Keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0x80); // under its scan code, and no other key
    EXPECT_EQ(std::count(std::begin(keys), std::end(keys), 0x80), 1);
    Clock.Advance(50);
    Idle();
    QTest::keyRelease(&Form, Qt::Key_Left);
    Clock.Advance(151);
    EXPECT_EQ(Idle(), 1);
    EXPECT_EQ(Local().Heading, 5);

    // The numeric pad with Num Lock off still steers: 3 is down and right.
    QTest::keyPress(&Form, Qt::Key_PageDown, Qt::KeypadModifier);
    Clock.Advance(201);
    EXPECT_EQ(Idle(), 1);
    EXPECT_EQ(Local().Heading, 0);
    EXPECT_EQ(Local().SailsTrimmed, 1);
    QTest::keyRelease(&Form, Qt::Key_PageDown, Qt::KeypadModifier);

    QTest::keyPress(&Form, Qt::Key_Space);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().Spinnaker, 1);
    QTest::keyRelease(&Form, Qt::Key_Space);
    QTest::keyPress(&Form, Qt::Key_Escape);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().Spinnaker, 0);
}

TEST_F(FrameLoop, KeysHeldWhenTheMainWindowLosesTheFocusAreLetGo) {
    QTest::keyPress(&Form, Qt::Key_Right);
    {
        QMainWindow chat;
        chat.show();
        chat.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&chat));
        Clock.Advance(201);
        Idle();
        EXPECT_EQ(Local().Heading, 0); // the keyboard is not read behind another window
    }
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().Heading, 0); // and the right arrow was released meanwhile
}

TEST_F(FrameLoop, SailAndSpinnakerCommandsAreLatched) {
    Press(0, -1);
    Clock.Advance(10);
    Idle();
    Press(0, 0);
    Clock.Advance(200);
    Idle();
    EXPECT_EQ(Local().SailsTrimmed, 0);
    Press(0, 1);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().SailsTrimmed, 1);

    Press(0, 0, true, false);
    Clock.Advance(10);
    Idle();
    Press(0, 0, false, true); // both seen before one frame: the spinnaker ends lowered
    Clock.Advance(200);
    Idle();
    EXPECT_EQ(Local().Spinnaker, 0);
    Press(0, 0, true, false);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().Spinnaker, 1);
}

TEST_F(FrameLoop, KeysActAtOnceInBothCases) {
    Form.FormKeyPress(U'u');
    EXPECT_EQ(Form.DrawYacht1->ViewMode, 1);
    Form.FormKeyPress(U'R');
    EXPECT_EQ(Form.DrawYacht1->ViewMode, 0);
    Form.FormKeyPress(U'f');
    EXPECT_EQ(Form.DrawYacht1->ViewMode, 2);
    Form.FormKeyPress(U's');
    EXPECT_EQ(Local().Spinnaker, 1);
    Form.FormKeyPress(U'D');
    EXPECT_EQ(Local().Spinnaker, 0);
}

TEST_F(FrameLoop, SpinnakerKeyWritesBackANegativeWindAngleAsZero) {
    SetHeading(90);
    Clock.Advance(201);
    Idle();
    EXPECT_EQ(Local().WindAngle, -90);
    Form.FormKeyPress(U'S');
    EXPECT_EQ(Local().WindAngle, 0);
    EXPECT_EQ(Local().Spinnaker, 1);
}

TEST_F(FrameLoop, CancelledDialogsOnlyResetTheClockReading) {
    Form.OpenPictureDialog1.OnExecute = [] { return kHullSample; };
    Form.H1Click();
    Form.OpenPictureDialog1.OnExecute = [] { return kSpinnakerSample; };
    Form.S1Click();
    Form.OpenPictureDialog1.OnExecute = [] { return std::string(); };
    Clock.Advance(5000);
    Form.H1Click();
    EXPECT_EQ(Form.LastTime, Clock.timeGetTime());
    EXPECT_EQ(Form.HullTextureFile, kHullSample);
    Clock.Advance(5000);
    Form.S1Click();
    EXPECT_EQ(Form.LastTime, Clock.timeGetTime());
    EXPECT_EQ(Form.SpinnakerTextureFile, kSpinnakerSample);
    Clock.Advance(5000);
    // The player cancels the connection dialog: nothing but the clock changes.
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    Form.C1Click();
    EXPECT_EQ(Form.LastTime, Clock.timeGetTime());
    EXPECT_EQ(Form.LocalId, 1);
    EXPECT_TRUE(Form.C1->isEnabled());
    EXPECT_EQ(Idle(), 0);
}

TEST_F(FrameLoop, AChosenTextureDressesTheLocalYachtOnly) {
    Form.Roster->AddPlayer(7);
    const int other = Form.Roster->IndexOf(7);
    Form.DrawYacht1->AddYacht(other, "");
    Form.DrawYacht1->SetSpinnakerTexture(other, "");
    Form.OpenPictureDialog1.OnExecute = [] { return kHullSample; };
    Form.H1Click();
    EXPECT_EQ(Form.HullTextureFile, kHullSample);
    EXPECT_TRUE(Textured(1, kHull));
    EXPECT_FALSE(Textured(other, kHull));
    EXPECT_FALSE(Textured(1, kSpinnaker));
    Form.OpenPictureDialog1.OnExecute = [] { return kSpinnakerSample; };
    Form.S1Click();
    EXPECT_EQ(Form.SpinnakerTextureFile, kSpinnakerSample);
    EXPECT_TRUE(Textured(1, kSpinnaker));
    EXPECT_FALSE(Textured(other, kSpinnaker));
    EXPECT_EQ(Form.HullTextureFile, kHullSample); // the other choice is kept
}

TEST_F(FrameLoop, UseHalTogglesTheOptionsAndRestartsTheDisplayInTheWindow) {
    int builds = 0;
    Form.DrawYacht1->OnChangeDisplayMode = [&](dddd::TDDDD*) { ++builds; };
    const dddd::TD3DOptions software{dddd::DontUseRGBEmulation, dddd::DontUseHAL};
    for (const bool checked : {true, false}) {
        // Another mode first, so that only a restart with the window's own settings puts it back.
        Form.DrawYacht1->InitDisplay(false, 320, 200, 24, 0, "");
        builds = 0;
        Form.USEHALU1->trigger();
        EXPECT_EQ(builds, 1);
        EXPECT_EQ(Form.USEHALU1->isChecked(), checked);
        EXPECT_EQ(Form.DrawYacht1->D3DOptions, checked ? dddd::TD3DOptions{} : software);
        EXPECT_FALSE(Form.DrawYacht1->ModeFullScreen());
        EXPECT_EQ(Form.DrawYacht1->ModeWidth(), 640);
        EXPECT_EQ(Form.DrawYacht1->ModeHeight(), 480);
        EXPECT_EQ(Form.DrawYacht1->ModeBitCount(), 16);
        // And the frame loop draws on the new display.
        Clock.Advance(201);
        EXPECT_EQ(Idle(), 1);
    }
}

TEST_F(FrameLoop, TheTimerSendsNothingBeforeASession) {
    // There is no session to send to: a send would fail and reach the default handler.
    std::vector<std::string> shown;
    vcl::Application->OnShowException = [&](const std::string& What) { shown.push_back(What); };
    QTest::qWait(1100); // a tick of the real timer
    Form.Timer1Timer();
    vcl::Application->OnShowException = nullptr;
    EXPECT_TRUE(shown.empty()) << shown.front();
    EXPECT_EQ(Form.LocalId, 1);
}

TEST(FrameLoopStart, TheTimeSpentInStartUpIsCaughtUpToo) {
    TManualClock clock(7000);
    TForm1 form(clock);
    EXPECT_EQ(form.LastTime, 7000u);
    TYachtState s = form.Roster->GetState(1);
    s.Heading = 300;
    form.Roster->SetState(1, s);
    clock.Advance(650); // three whole steps and 50 ms
    bool done = true;
    form.IdleHandler(done);
    EXPECT_EQ(form.Roster->Yachts(1).Speed(), 0.06f);
    EXPECT_EQ(form.TimeAccumulator, 50u);
    EXPECT_EQ(form.DrawYacht1->FrameCounter, 1);
}
