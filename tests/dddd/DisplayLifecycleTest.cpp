// The display component's life: start-up order, rebuilds, the mode table, the depth check,
// the paint hook, the screen-saver switch.
#include "tests/dddd/DisplayHost.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/ScreenSaver.h"

#include <QTest>

using dddd::TDDDDDispMode;

TEST_F(DisplayTest, StartUpBuildsTheDisplayBeforeTheFormsHandlerThenInitsAndStarts) {
    Start();
    EXPECT_EQ(Events, (std::vector<std::string>{"FormCreate", "OnInit(False)"}));
    EXPECT_TRUE(Display->Started());
    EXPECT_FALSE(Display->NotStarted());
    EXPECT_FALSE(Display->Busy());
    EXPECT_EQ(Display->ModeWidth(), 640);
    EXPECT_EQ(Display->ModeHeight(), 480);
    EXPECT_EQ(Display->ModeBitCount(), 16);
    EXPECT_FALSE(Display->ModeFullScreen());
    ASSERT_NE(Display->D3DRM(), nullptr);
    ASSERT_NE(Display->D3DRMDevice(), nullptr);
    EXPECT_EQ(Display->DeviceKind(), 2); // MMX: the main window's options rule out HAL and RGB
    EXPECT_EQ(Display->BackSurface()->GetSurfaceDesc().dwWidth, 640u);
    EXPECT_EQ(Display->DriverNames(),
              (std::vector<std::string>{"Primary Display Driver (display)"}));
    // 5-6-5.
    EXPECT_EQ(Display->RedShift(), 11);
    EXPECT_EQ(Display->RedLoss(), 3);
    EXPECT_EQ(Display->GreenShift(), 5);
    EXPECT_EQ(Display->GreenLoss(), 2);
    EXPECT_EQ(Display->BlueShift(), 0);
    EXPECT_EQ(Display->BlueLoss(), 3);
    EXPECT_EQ(Display->GreenMask(), 0x07E0u);
}

TEST_F(DisplayTest, ChannelShiftsOfTheOtherDepthsAndTheDeviceOrder) {
    struct TCase {
        int DesktopBits;
        dddd::TD3DOptions Options;
        int Kind, RedShift, RedLoss;
    };
    const TCase cases[] = {
        {32, {}, 2, 16, 0},
        {24, {dddd::DontUseMMX}, 3, 16, 0},
        {16, {dddd::DontUseMMX, dddd::DontUseRGBEmulation}, 4, 11, 3},
    };
    for (const TCase& c : cases) {
        vcl::Screen().SetDesktop(1024, 768, c.DesktopBits, 0);
        Start(TDDDDDispMode::dmWinVariable, true, c.Options);
        EXPECT_EQ(Display->ModeBitCount(), c.DesktopBits);
        EXPECT_EQ(Display->DeviceKind(), c.Kind);
        EXPECT_EQ(Display->RedShift(), c.RedShift);
        EXPECT_EQ(Display->RedLoss(), c.RedLoss);
        EXPECT_EQ(Display->BlueShift(), 0);
        Display.reset();
        Form.reset();
    }
    // With 3D hardware reported the hardware device comes first, on a back buffer the driver
    // may place in video memory; turning the software devices off leaves it alone.
    DDrawSetHardware3D(true);
    Start(TDDDDDispMode::dmWin640x480x16, true, {dddd::DontUseRGBEmulation, dddd::DontUseMMX});
    EXPECT_EQ(Display->DeviceKind(), 1);
    EXPECT_TRUE(Display->Hardware3D());
    EXPECT_TRUE(Display->ZInVideoMemory());
    Display.reset();
    Form.reset();
    DDrawSetHardware3D(false);
}

TEST_F(DisplayTest, ARebuildAfterStartUpCleansUpThenChangesTheMode) {
    Start();
    Events.clear();
    Display->InitDisplay(false, 640, 480, 16, 0, "");
    EXPECT_EQ(Events, (std::vector<std::string>{"OnCleanUp", "OnChangeDisplayMode"}));
    Events.clear();
    Display->SetDisplayMode(TDDDDDispMode::dmWin800x600x16);
    EXPECT_EQ(Events, (std::vector<std::string>{"OnCleanUp", "OnChangeDisplayMode"}));
    EXPECT_EQ(Display->ModeWidth(), 800);
}

TEST_F(DisplayTest, TenUseHalTogglesLeaveEveryCountWhereItStarted) {
    Start();
    IDirect3DRMFrame2* camera = nullptr;
    Display->D3DRM()->CreateFrame(nullptr, &camera);
    Display->SetCamera(camera);
    const TDDrawCensus before = DDrawCensus();
    const ULONG cameraRefs = (camera->AddRef(), camera->Release());
    for (int i = 0; i < 10; ++i) {
        Display->D3DOptions = i % 2 == 0
                                  ? dddd::TD3DOptions{}
                                  : dddd::TD3DOptions{dddd::DontUseRGBEmulation, dddd::DontUseHAL};
        Display->InitDisplay(false, 640, 480, 16, 0, "");
        ASSERT_NE(Display->Viewport(), nullptr); // re-made with the stored camera
    }
    EXPECT_EQ(DDrawCensus(), before);
    EXPECT_EQ((camera->AddRef(), camera->Release()), cameraRefs);
    camera->Release();
}

TEST_F(DisplayTest, AFullScreenModeTheDriverDoesNotOfferLeavesTheProvisionalDisplay) {
    vcl::Screen().SetDesktop(1024, 768, 16, 0);
    // Every mode is offered, so one is taken out of the list for this test.
    Start(TDDDDDispMode::dmFull1024x768x24, true, {}, false);
    DDrawFailures().Fail("IDirectDraw2::EnumDisplayModes", MakeHResult(0x88760001));
    Form->DoCreate();
    EXPECT_EQ(Events, (std::vector<std::string>{"FormCreate", "OnInit(True)"}));
    // The mode is remembered; the surfaces are still the provisional window's.
    EXPECT_EQ(Display->ModeWidth(), 1024);
    EXPECT_EQ(Display->BackSurface()->GetSurfaceDesc().dwWidth, 128u);
    EXPECT_FALSE(vcl::Screen().ModeSet());
    EXPECT_FALSE(Form->isFullScreen());
}

TEST_F(DisplayTest, WithoutAutomaticStartTheProvisionalDisplayStaysAndInitAsksForAChange) {
    Start(TDDDDDispMode::dmWin640x480x16, true, {}, false);
    Display->AutoDisplayModeInitialize = false;
    Form->DoCreate();
    EXPECT_EQ(Events, (std::vector<std::string>{"FormCreate", "OnInit(True)"}));
    EXPECT_EQ(Display->ModeWidth(), 128);
    EXPECT_EQ(Display->ModeHeight(), 128);
}

TEST_F(DisplayTest, AFixedWindowedModeOfAnotherDepthWarnsAndEndsTheProgram) {
    vcl::Screen().SetDesktop(1024, 768, 24, 0);
    std::vector<std::string> shown;
    vcl::Application->OnMessageBox = [&](const std::string& Text) {
        shown.push_back(Text);
        EXPECT_FALSE(Form->isVisible());
    };
    Form = nullptr;
    Start(TDDDDDispMode::dmWin640x480x16, true, {}, false);
    Form->show();
    Form->DoCreate();
    vcl::Application->OnMessageBox = nullptr;
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "画面モードが不適切です 色数を16ビットにして起動し直してください"}));
    EXPECT_TRUE(vcl::Application->Terminated());
    // The full-screen modes and the variable one are not checked.
    for (TDDDDDispMode m : {TDDDDDispMode::dmWinVariable, TDDDDDispMode::dmFull640x480x16}) {
        Display.reset();
        Form.reset();
        vcl::Application->OnMessageBox = [&](const std::string& Text) { shown.push_back(Text); };
        Start(m);
        vcl::Application->OnMessageBox = nullptr;
        EXPECT_EQ(shown.size(), 1u);
    }
}

TEST_F(DisplayTest, TheModeTableHasNineteenModes) {
    struct TCase {
        TDDDDDispMode Mode;
        int W, H, Bits;
        bool Full;
    };
    const TCase cases[] = {
        {TDDDDDispMode::dmWin640x480x8, 640, 480, 8, false},
        {TDDDDDispMode::dmWin1024x768x16, 1024, 768, 16, false},
        {TDDDDDispMode::dmWin800x600x24, 800, 600, 24, false},
        {TDDDDDispMode::dmFull800x600x8, 800, 600, 8, true},
        {TDDDDDispMode::dmFull640x480x16, 640, 480, 16, true},
        {TDDDDDispMode::dmFull1024x768x24, 1024, 768, 24, true},
    };
    for (const TCase& c : cases) {
        const dddd::TDispModeInfo i = dddd::DispModeInfo(c.Mode);
        EXPECT_EQ(i.Width, c.W);
        EXPECT_EQ(i.Height, c.H);
        EXPECT_EQ(i.BitCount, c.Bits);
        EXPECT_EQ(i.FullScreen, c.Full);
    }
    EXPECT_EQ(static_cast<int>(TDDDDDispMode::dmWinVariable), 18);
    EXPECT_EQ(sizeof(TDDDDDispMode), 1u);
}

TEST_F(DisplayTest, ReadingTheModeLogsOneLinePerReadAndGoesOn) {
    Start();
    EXPECT_EQ(Display->DisplayMode(), TDDDDDispMode::dmWin640x480x16);
    EXPECT_EQ(Display->DisplayMode(), TDDDDDispMode::dmWin640x480x16);
    EXPECT_EQ(Log(), "debug#00001 ... ScreenModeプロパティは読み込み禁止です\r\n"
                     "debug#00002 ... ScreenModeプロパティは読み込み禁止です\r\n");
}

TEST_F(DisplayTest, ThePresentedFrameFillsTheClientAreaScaled) {
    Start();
    Form->show();
    QTest::qWait(1);
    // The back buffer in one colour: what the client area shows after a flip.
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x07E0;
    ASSERT_EQ(Display->BackSurface()->Surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx),
              DD_OK);
    Display->Flip();
    const QImage shown = Display->View()->Grab();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(shown.width() - 1, shown.height() - 1), qRgb(0, 255, 0));
}

TEST_F(DisplayTest, TheRepaintRestoresLostSurfacesOnlyWhileActiveAndNotBusy) {
    int ownPaints = 0, restored = 0;
    Form = std::make_unique<vcl::TForm>();
    Form->OnPaint = [&](vcl::TForm*) { ++ownPaints; };
    Display = std::make_unique<dddd::TDDDD>(Form.get());
    Display->Use3D = true;
    Display->SetDisplayMode(TDDDDDispMode::dmWin640x480x16);
    Display->OnRestore = [&](dddd::TDDDD*) { ++restored; };
    Form->DoCreate();
    Form->show();
    DDrawLoseAllSurfaces();
    Form->DoPaint(); // not the active window: nothing at all
    EXPECT_EQ(ownPaints, 0);
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    ownPaints = restored = 0;
    // The clean-up runs inside the rebuild, while the display is busy.
    bool lostWhileBusy = false;
    Display->OnCleanUp = [&](dddd::TDDDD*) {
        DDrawLoseAllSurfaces();
        Form->DoPaint();
        lostWhileBusy = Display->Busy() && Display->BackSurface()->IsLost();
    };
    Display->InitDisplay(false, 640, 480, 16, 0, "");
    Display->OnCleanUp = nullptr;
    EXPECT_EQ(ownPaints, 1);
    EXPECT_EQ(restored, 0);
    EXPECT_TRUE(lostWhileBusy);
    DDrawLoseAllSurfaces();
    Form->DoPaint();
    EXPECT_EQ(restored, 1);
    EXPECT_FALSE(Display->PrimarySurface()->IsLost());
    EXPECT_FALSE(Display->BackSurface()->IsLost());
    EXPECT_FALSE(Display->ZSurface()->IsLost());
}

TEST_F(DisplayTest, TheSurfaceWrapperTouchesNothingAndLeavesAKeptSurfaceAlone) {
    Start();
    DDrawFailures().Clear();
    dddd::TDDDDGenSurface wrapper(Display.get(), Display->BackSurface()->Surface, 640, 480);
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::IsLost"), 0);
    EXPECT_EQ(wrapper.Desc.dwSize, 108u);
    EXPECT_EQ(wrapper.Desc.dwFlags, DDSD_ALL);
    wrapper.RestoreIfLost();
    EXPECT_EQ(DDrawFailures().Calls("IDirectDrawSurface::Restore"), 0);
}

TEST_F(DisplayTest, DestructionPutsTheScreenSaverBackAsItWasFound) {
    for (const BOOL found : {TRUE, FALSE}) {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, found, nullptr, 0);
        Start();
        Display->SetDisableScreenSaver(true);
        BOOL active = TRUE;
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
        EXPECT_FALSE(active);
        Display->SetDisableScreenSaver(false);
        Display->SetDisableScreenSaver(true);
        Display.reset();
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
        EXPECT_EQ(active, found);
    }
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
}

TEST_F(DisplayTest, FullScreenFlipsAndFallsBackToABlitWhenTheFlipFails) {
    Start(TDDDDDispMode::dmFull640x480x16);
    ASSERT_TRUE(Display->ModeFullScreen());
    EXPECT_EQ(vcl::Screen().Width(), 640);
    EXPECT_TRUE(Form->isFullScreen());
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x001F;
    Display->BackSurface()->Surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    Display->Flip();
    TSurfaceBits front;
    ASSERT_TRUE(DDrawSurfaceBits(Display->PrimarySurface()->Surface, front));
    EXPECT_EQ(*reinterpret_cast<std::uint16_t*>(front.Bits), 0x001F);
    fx.dwFillColor = 0xF800;
    Display->BackSurface()->Surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    DDrawFailures().Fail("IDirectDrawSurface::Flip", MakeHResult(0x88760001));
    Display->Flip();
    EXPECT_EQ(*reinterpret_cast<std::uint16_t*>(front.Bits), 0xF800);
    Display.reset();
    EXPECT_FALSE(vcl::Screen().ModeSet());
}
