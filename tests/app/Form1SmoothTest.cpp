// Pictures between steps, the way the picture fits the window, full screen and the settings
// kept between runs, on the main window with a clock the tests drive.
#include "app/Form1.h"
#include "app/GameMessages.h"
#include "app/GameSettings.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/vcl/Screen.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool SameBits(const TYachtState& A, const TYachtState& B) {
    return std::memcmp(&A, &B, sizeof A) == 0;
}

// A main window on a clock of its own, shown and holding the keyboard; the test calls the frame
// function itself.
struct TDrivenWindow {
    TManualClock Clock{1000};
    std::unique_ptr<TForm1> Form;
    ddpd::TDDPDPlayer Anna{42, "anna", "アンナ"};

    TDrivenWindow() {
        Form = std::make_unique<TForm1>(Clock);
        vcl::Application->SetOnIdle(nullptr);
        // Pictures as fast as the loop asks: the test's clock is not the display's.
        Form->DrawYacht1->VsyncAtWindowed = false;
        Form->show();
        Form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Idle();
    }
    ~TDrivenWindow() { vcl::Application->SetOnIdle(nullptr); }

    // One idle call; returns the wait it asked for.
    std::uint32_t Idle() {
        bool done = true;
        Form->IdleHandler(done);
        return vcl::Application->IdleWakeRequested();
    }
    void AddAnna() {
        Form->DDPD1ComesNewChallenger(Form->DDPD1.get(), &Anna, Anna.ShortName, Anna.LongName);
    }
    void AnnaSays(const TYachtState& State) {
        const std::vector<std::uint8_t> bytes = EncodeGameMessage(TStateMessage{State});
        Form->DDPD1ArriveMessage(Form->DDPD1.get(), &Anna, bytes.data(),
                                 static_cast<std::int32_t>(bytes.size()));
    }
    void Press(int X, int Y) {
        IDirectInputA* input = Form->Joy->DirectInput;
        DInputTest::SetKey(input, DIK_LEFT, X < 0);
        DInputTest::SetKey(input, DIK_RIGHT, X > 0);
        DInputTest::SetKey(input, DIK_UP, Y < 0);
        DInputTest::SetKey(input, DIK_DOWN, Y > 0);
    }
};

// What a minute of sailing did, step by step.
struct TVoyage {
    std::vector<TYachtState> Local, Remote; // after each step's call
    std::vector<std::uint8_t> Sent;         // the last state message the window would send
    float Speed = 0;
    std::uint32_t Pictures = 0;
    std::uint32_t Milliseconds = 0;
};

// The helm and the remote player's reports of a scripted minute, by step call: keys change only
// right after a step, so every poll between two steps sees the same keys with or without
// pictures in between.
TVoyage SailAMinute(bool Smooth) {
    TDrivenWindow w;
    w.Form->SetSmoothMotion(Smooth);
    w.AddAnna();
    TVoyage voyage;
    const std::uint32_t start = w.Clock.timeGetTime();
    std::uint32_t wait = w.Idle();
    const std::uint32_t picturesBefore = w.Form->DrawYacht1->PicturesDrawn;
    std::int32_t counter = w.Form->DrawYacht1->FrameCounter;
    int call = 0;
    // A minute of steps, however the calls fall between them.
    while (call < 300) {
        w.Clock.Advance(wait);
        wait = w.Idle();
        if (w.Form->DrawYacht1->FrameCounter == counter)
            continue;
        counter = w.Form->DrawYacht1->FrameCounter;
        ++call;
        const int phase = (call / 12) % 5;
        w.Press(phase == 0 ? -1 : phase == 3 ? 1 : 0, phase == 1 ? 1 : phase == 4 ? -1 : 0);
        if (call == 40)
            w.Form->FormKeyPress(U'S');
        if (call == 200)
            w.Form->FormKeyPress(U'D');
        if (call % 5 == 2) {
            alignas(4) TYachtState anna;
            anna.X = 3.0f + 0.1f * static_cast<float>(call);
            anna.Z = -2.0f + 0.05f * static_cast<float>(call);
            anna.Heading = static_cast<float>((call * 5) % 360);
            anna.SailsTrimmed = 1;
            w.AnnaSays(anna);
        }
        voyage.Local.push_back(w.Form->Roster->GetState(w.Form->LocalId));
        voyage.Remote.push_back(w.Form->Roster->GetState(w.Anna.ID));
    }
    voyage.Speed = w.Form->Roster->Yachts(w.Form->LocalSlot()).Speed();
    voyage.Sent = EncodeGameMessage(TStateMessage{w.Form->Roster->GetState(w.Form->LocalId)});
    voyage.Pictures = w.Form->DrawYacht1->PicturesDrawn - picturesBefore;
    voyage.Milliseconds = w.Clock.timeGetTime() - start;
    return voyage;
}

TEST(SmoothSailing, TheStepsAndCommandsAreTheSameToTheBitWithPicturesBetweenStepsOrNot) {
    vcl::Screen().SetDesktop(0, 0, 0, 60);
    const TVoyage plain = SailAMinute(false);
    const TVoyage smooth = SailAMinute(true);
    vcl::Screen().SetDesktop(0, 0, 0, -1);
    ASSERT_EQ(plain.Local.size(), smooth.Local.size());
    EXPECT_EQ(plain.Local.size(), 300u);
    for (std::size_t i = 0; i < plain.Local.size(); ++i) {
        ASSERT_TRUE(SameBits(plain.Local[i], smooth.Local[i])) << "step call " << i;
        ASSERT_TRUE(SameBits(plain.Remote[i], smooth.Remote[i])) << "step call " << i;
    }
    EXPECT_EQ(std::memcmp(&plain.Speed, &smooth.Speed, sizeof plain.Speed), 0);
    EXPECT_EQ(plain.Sent, smooth.Sent);
    // The helm did something: the minute was no drift at rest.
    EXPECT_NE(plain.Local.front().Heading, plain.Local.back().Heading);
    // One picture a step against about sixty a second.
    EXPECT_EQ(plain.Pictures, plain.Local.size());
    const double rate = smooth.Pictures * 1000.0 / smooth.Milliseconds;
    EXPECT_GE(rate, 59);
    EXPECT_LE(rate, 61);
}

TEST(SmoothSailing, EveryPictureShowsTheLocalYachtBetweenItsLastTwoSteps) {
    vcl::Screen().SetDesktop(0, 0, 0, 60);
    TDrivenWindow w;
    w.Form->SetSmoothMotion(true);
    w.Press(-1, 0);
    int pictures = 0;
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t before = w.Form->DrawYacht1->PicturesDrawn;
        w.Clock.Advance(i % 3 == 0 ? 16 : 17);
        w.Idle();
        if (w.Form->DrawYacht1->PicturesDrawn == before)
            continue;
        ++pictures;
        const TShownYacht& shown = w.Form->Shown[static_cast<std::size_t>(w.Form->LocalSlot())];
        D3DVECTOR p, d, u;
        ASSERT_TRUE(w.Form->DrawYacht1->GetYachtPlacement(w.Form->LocalSlot(), p, d, u));
        alignas(4) const TYachtState a = shown.Previous();
        alignas(4) const TYachtState b = shown.Last();
        ASSERT_GE(p.z, std::min(a.Z, b.Z) - 1e-5f);
        ASSERT_LE(p.z, std::max(a.Z, b.Z) + 1e-5f);
        ASSERT_GE(p.x, std::min(a.X, b.X) - 1e-5f);
        ASSERT_LE(p.x, std::max(a.X, b.X) + 1e-5f);
    }
    vcl::Screen().SetDesktop(0, 0, 0, -1);
    EXPECT_GE(pictures, 390);
}

TEST(SmoothSailing, TheLoopWakesForEachPictureOnlyWhileTheOptionIsOn) {
    vcl::Screen().SetDesktop(0, 0, 0, 60);
    TDrivenWindow w;
    EXPECT_EQ(w.Idle(), w.Form->StepPeriod + 1 - w.Form->TimeAccumulator);
    w.Form->Smooth1->trigger();
    EXPECT_TRUE(w.Form->SmoothMotion);
    EXPECT_LE(w.Idle(), 16u);
    w.Form->Smooth1->trigger();
    EXPECT_FALSE(w.Form->SmoothMotion);
    EXPECT_EQ(w.Idle(), w.Form->StepPeriod + 1 - w.Form->TimeAccumulator);
    vcl::Screen().SetDesktop(0, 0, 0, -1);
}

TEST(SmoothSailing, TheNewMenuItemsReadAsWrittenAndCarryCheckMarks) {
    TDrivenWindow w;
    EXPECT_EQ(w.Form->Smooth1->text(), QString::fromUtf8("なめらか表示(&N)"));
    EXPECT_EQ(w.Form->FullScreen1->text(), QString::fromUtf8("全画面表示(&F)"));
    EXPECT_TRUE(w.Form->Smooth1->isCheckable());
    EXPECT_TRUE(w.Form->FullScreen1->isCheckable());
    EXPECT_TRUE(w.Form->Option1->actions().contains(w.Form->Smooth1));
    EXPECT_TRUE(w.Form->Option1->actions().contains(w.Form->FullScreen1));
    // The old items are where and as they were.
    EXPECT_EQ(w.Form->Option1->actions().at(0), w.Form->H1);
    EXPECT_EQ(w.Form->USEHALU1->text(), QString::fromUtf8("Use HAL(&U)"));
    for (int i = 0; i < kFrameScalingCount; ++i) {
        w.Form->ScalingItems[static_cast<std::size_t>(i)]->trigger();
        EXPECT_EQ(w.Form->DrawYacht1->View()->FrameScaling(), static_cast<TFrameScaling>(i));
    }
}

TEST(SmoothSailing, F11AndAltEnterToggleFullScreenAndEscapeLowersTheSpinnakerOnly) {
    TDrivenWindow w;
    ASSERT_FALSE(w.Form->isFullScreen());
    QTest::keyClick(w.Form.get(), Qt::Key_F11);
    EXPECT_TRUE(w.Form->isFullScreen());
    EXPECT_TRUE(w.Form->FullScreen1->isChecked());

    // A bare X server has no window manager to give the full-screen window the keyboard back.
    w.Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.Form.get()));
    w.Idle();
    alignas(4) TYachtState s = w.Form->Roster->GetState(w.Form->LocalId);
    s.Spinnaker = 1;
    w.Form->Roster->SetState(w.Form->LocalId, s);
    // The window hears Esc as well as the keyboard device does; it is held over a step.
    QTest::keyPress(w.Form.get(), Qt::Key_Escape);
    DInputTest::SetKey(w.Form->Joy->DirectInput, DIK_ESCAPE, true);
    w.Clock.Advance(w.Form->StepPeriod + 1);
    w.Idle();
    DInputTest::SetKey(w.Form->Joy->DirectInput, DIK_ESCAPE, false);
    QTest::keyRelease(w.Form.get(), Qt::Key_Escape);
    EXPECT_TRUE(w.Form->isFullScreen());
    EXPECT_EQ(w.Form->Roster->GetState(w.Form->LocalId).Spinnaker, 0);

    QTest::keyClick(w.Form.get(), Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(w.Form->isFullScreen());
    EXPECT_FALSE(w.Form->FullScreen1->isChecked());
    w.Form->FullScreen1->trigger();
    EXPECT_TRUE(w.Form->isFullScreen());
    QTest::keyClick(w.Form.get(), Qt::Key_Enter, Qt::AltModifier);
    EXPECT_FALSE(w.Form->isFullScreen());
}

TEST(SmoothSailing, FullScreenShowsThePictureInItsShapeBetweenBars) {
    TDrivenWindow w;
    w.Form->SetFullScreen(true);
    QCoreApplication::processEvents();
    w.Clock.Advance(w.Form->StepPeriod + 1);
    w.Idle();
    TScreenView* view = w.Form->DrawYacht1->View();
    const TFramePlacement p = view->Placement();
    const QSize area = view->DeviceSize();
    ASSERT_GT(p.Width, 0);
    EXPECT_LE(std::abs(2 * p.X + p.Width - area.width()), 1);
    EXPECT_LE(std::abs(2 * p.Y + p.Height - area.height()), 1);
    EXPECT_EQ(p.Width * 3, p.Height * 4);
    w.Form->SetFullScreen(false);
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("marevo-settings-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        File = (Folder / "marevo" / "marevo.conf").string();
    }
    void TearDown() override {
        fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(Folder);
    }
    void Write(const std::string& Bytes) {
        fs::create_directories(fs::path(File).parent_path());
        std::ofstream(File, std::ios::binary) << Bytes;
    }

    fs::path Folder;
    std::string File;
};

TGameSettings Changed() {
    TGameSettings s;
    s.Left = 40, s.Top = 30, s.Width = 700, s.Height = 560;
    s.ViewMode = 0;
    s.SmoothMotion = true;
    s.Scaling = TFrameScaling::Smooth;
    s.Connection = "TCP/IP";
    s.Address = "ヨット.example";
    s.Lobby = "lobby.example";
    return s;
}

TEST_F(SettingsFile, WhatIsWrittenIsReadBack) {
    ASSERT_TRUE(WriteGameSettings(File, Changed()));
    EXPECT_EQ(ReadGameSettings(File), Changed());
}

TEST_F(SettingsFile, EveryDamagedOrMissingFileGivesTheDefaults) {
    const TGameSettings defaults;
    EXPECT_EQ(ReadGameSettings(File), defaults); // no file
    struct TCase {
        const char* Name;
        std::string Bytes;
    };
    const TCase cases[] = {
        {"empty", ""},
        {"binary", std::string("\0\xff\xfe[\x01=\x02\n\x80\x81", 11)},
        {"half a group", "[view\nmode=0\n"},
        {"wrong kinds", "[view]\nmode=R\nsmooth=yes\nscaling=-1\n[window]\nwidth=wide\n"},
        {"out of range", "[view]\nmode=3\nsmooth=2\nscaling=3\n[window]\nleft=0\ntop=0\n"
                         "width=10\nheight=99999999999\n"},
        {"huge text", "[connection]\naddress=" + std::string(5000, 'a') + "\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Write(c.Bytes);
        const TGameSettings read = ReadGameSettings(File);
        EXPECT_EQ(read.Width, 0);
        EXPECT_EQ(read.ViewMode, defaults.ViewMode);
        EXPECT_EQ(read.SmoothMotion, defaults.SmoothMotion);
        EXPECT_EQ(read.Scaling, defaults.Scaling);
        EXPECT_EQ(read.Address, defaults.Address);
    }
}

TEST_F(SettingsFile, OneBadValueCostsOnlyItself) {
    Write("[view]\nmode=0\nsmooth=1\nscaling=7\n");
    const TGameSettings read = ReadGameSettings(File);
    EXPECT_EQ(read.ViewMode, 0);
    EXPECT_TRUE(read.SmoothMotion);
    EXPECT_EQ(read.Scaling, TFrameScaling::PixelPerfect);
}

TEST_F(SettingsFile, AFolderInPlaceOfTheFileOrAFileInPlaceOfTheFolderGivesTheDefaults) {
    fs::create_directories(File); // a folder where the file should be
    EXPECT_EQ(ReadGameSettings(File), TGameSettings());
    EXPECT_FALSE(WriteGameSettings(File, Changed()));
    fs::remove_all(fs::path(File).parent_path());
    // A file where the folder should be: nobody, however privileged, reads or writes below it.
    std::ofstream(fs::path(File).parent_path()) << "[view]\nmode=0\n";
    EXPECT_EQ(ReadGameSettings(File), TGameSettings());
    EXPECT_FALSE(WriteGameSettings(File, Changed()));
}

TEST_F(SettingsFile, AFileThatCannotBeReadGivesTheDefaults) {
    ASSERT_TRUE(WriteGameSettings(File, Changed()));
    fs::permissions(File, fs::perms::none);
    if (std::ifstream(File).good())
        GTEST_SKIP() << "running as a user who reads every file";
    EXPECT_EQ(ReadGameSettings(File), TGameSettings());
}

TEST_F(SettingsFile, TheWindowTakesAndGivesBackWhatIsRemembered) {
    TDrivenWindow w;
    TGameSettings wanted = Changed();
    wanted.Left = w.Form->frameGeometry().left();
    wanted.Top = w.Form->frameGeometry().top();
    w.Form->ApplySettings(wanted);
    EXPECT_EQ(w.Form->DrawYacht1->ViewMode, 0);
    EXPECT_TRUE(w.Form->SmoothMotion);
    EXPECT_TRUE(w.Form->Smooth1->isChecked());
    EXPECT_TRUE(w.Form->ScalingItems[2]->isChecked());
    EXPECT_EQ(w.Form->DrawYacht1->View()->FrameScaling(), TFrameScaling::Smooth);
    EXPECT_EQ(w.Form->Settings(), wanted);
    // Full screen remembers the window it came from.
    w.Form->SetFullScreen(true);
    EXPECT_EQ(w.Form->Settings(), wanted);
    w.Form->SetFullScreen(false);
}

} // namespace
