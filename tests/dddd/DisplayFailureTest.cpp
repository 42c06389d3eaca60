// Every failure the display component reports: the exact line in "dddd.debug" and the end of
// the program; and the failures it must let pass.
#include "tests/dddd/DisplayHost.h"

#include "platform/d3drm/D3DRM.h"

#include <functional>

namespace {

using dddd::TDDDDDispMode;

constexpr HRESULT kCode = MakeHResult(0x887604D2);

struct TFailure {
    const char* Name;
    TDDDDDispMode Mode;
    bool Use3D;
    // Sets the failure up on a running display and makes the component meet it.
    std::function<void(dddd::TDDDD&)> Provoke;
    std::string Line;
};

void Rebuild(dddd::TDDDD& D) {
    D.InitDisplay(D.ModeFullScreen(), 640, 480, D.ModeBitCount(), 0, "");
}

std::function<void(dddd::TDDDD&)> Failing(const char* Call, int Skip = 0, int Times = 1,
                                          bool ThreeD = false) {
    return [=](dddd::TDDDD& D) {
        (ThreeD ? D3DRMFailures() : DDrawFailures()).Fail(Call, kCode, Skip, Times);
        Rebuild(D);
    };
}

std::string Suffixed(const std::string& Message) {
    return "debug#00001 ... " + Message + "(Error Code(887604D2))\r\n";
}

const TDDDDDispMode kWin16 = TDDDDDispMode::dmWin640x480x16;
const TDDDDDispMode kFull16 = TDDDDDispMode::dmFull640x480x16;
const TDDDDDispMode kFull8 = TDDDDDispMode::dmFull640x480x8;

const TFailure kFailures[] = {
    {"Create", kWin16, true, Failing("DirectDrawCreate"),
     Suffixed("DirectDrawオブジェクトが作成できません")},
    {"Link", kWin16, true, Failing("IDirectDraw::QueryInterface"),
     Suffixed("DirectDrawオブジェクトとDirectDraw2オブジェクトの連結に失敗しました")},
    {"CooperativeLevel", kWin16, true, Failing("IDirectDraw2::SetCooperativeLevel"),
     Suffixed("協調レベルの設定に失敗しました")},
    {"FullScreenCooperativeLevel", kFull16, true, Failing("IDirectDraw2::SetCooperativeLevel"),
     Suffixed("協調レベルの設定に失敗しました")},
    {"DisplayMode", kFull16, true, Failing("IDirectDraw2::SetDisplayMode"),
     Suffixed("画面モード640x480x16の初期化に失敗しました")},
    {"Primary", kWin16, true, Failing("IDirectDraw2::CreateSurface"),
     Suffixed("プライマリ・サーフェスの作成に失敗しました")},
    {"FullScreenPrimary", kFull16, true, Failing("IDirectDraw2::CreateSurface"),
     Suffixed("プライマリ・サーフェスの作成に失敗しました")},
    {"BackBuffer", kWin16, true, Failing("IDirectDraw2::CreateSurface", 1),
     Suffixed("バックバッファの作成に失敗しました")},
    {"FullScreenBackBuffer", kFull16, true, Failing("IDirectDrawSurface::GetAttachedSurface"),
     Suffixed("バックバッファの作成に失敗しました")},
    {"Clipper", kWin16, true, Failing("IDirectDraw2::CreateClipper"),
     Suffixed("Clipperオブジェクトの作成に失敗しました")},
    {"ClipperWindow", kWin16, true, Failing("IDirectDrawClipper::SetHWnd"),
     Suffixed("Clipperのフォームへの割り当てに失敗しました")},
    {"ClipperPrimary", kWin16, true, Failing("IDirectDrawSurface::SetClipper"),
     Suffixed("Clipperのプライマリサーフェスへの割り当てに失敗しました")},
    {"Palette", kFull8, true, Failing("IDirectDraw2::CreatePalette"),
     Suffixed("DirectDrawPaletteの作成に失敗しました")},
    {"PaletteFront", kFull8, true, Failing("IDirectDrawSurface::SetPalette"),
     Suffixed("DirectDrawPaletteのFrontBufferへの割り当てに失敗しました")},
    {"PaletteBack", kFull8, true, Failing("IDirectDrawSurface::SetPalette", 1),
     Suffixed("DirectDrawPaletteのBackBufferへの割り当てに失敗しました")},
    {"ZBufferAtEveryDepth", kWin16, true, Failing("IDirectDraw2::CreateSurface", 2, 3),
     Suffixed("Zバッファの作成に失敗しました")},
    {"ZBufferAttach", kWin16, true, Failing("IDirectDrawSurface::AddAttachedSurface"),
     Suffixed("Zバッファのアタッチに失敗しました")},
    {"RMObject", kWin16, true, Failing("Direct3DRMCreate", 0, 1, true),
     Suffixed("Direct3DRMオブジェクトの作成に失敗しました")},
    {"RM2Object", kWin16, true, Failing("IDirect3DRM::QueryInterface", 0, 1, true),
     Suffixed("Direct3DRM2オブジェクトの作成に失敗しました")},
    {"Direct3D", kWin16, true, Failing("IDirectDraw2::QueryInterface"),
     Suffixed("Direct3Dオブジェクトの作成に失敗しました")},
    {"EveryDevice", kWin16, true, Failing("IDirect3D2::CreateDevice", 0, -1),
     Suffixed("Diret3Dデバイスの作成に失敗しました")},
    {"RMDevice", kWin16, true, Failing("IDirect3DRM2::CreateDeviceFromD3D", 0, 1, true),
     Suffixed("Diret3DRMデバイスの作成に失敗しました")},
    {"ViewportOnRebuild", kWin16, true, Failing("IDirect3DRM2::CreateViewport", 0, 1, true),
     Suffixed("Viewportの作成に失敗しました")},
    {"SurfaceDescription", kWin16, true, Failing("IDirectDrawSurface::GetSurfaceDesc"),
     Suffixed("サーフェス情報の取得に失敗しました")},
    {"FullScreenPaletteUpdate", kFull8, true,
     [](dddd::TDDDD& D) {
         DDrawFailures().Fail("IDirectDrawPalette::SetEntries", kCode);
         D.UpdatePalette();
     },
     Suffixed("パレットが更新できませんでした")},
    {"RMDeviceLeft", kWin16, true,
     [](dddd::TDDDD& D) {
         D.D3DRMDevice()->AddRef();
         Rebuild(D);
     },
     "debug#00001 ... Direct3DRMデバイスの解放に失敗しました(Error Code(1))\r\n"},
    {"DeviceLeft", kWin16, true,
     [](dddd::TDDDD& D) {
         D.D3DDevice()->AddRef();
         Rebuild(D);
     },
     "debug#00001 ... Direct3Dデバイスの解放に失敗しました(Error Code(1))\r\n"},
    {"DirectDrawLeft", kWin16, true,
     [](dddd::TDDDD& D) {
         D.DirectDraw()->AddRef();
         Rebuild(D);
     },
     "debug#00001 ... DirectDrawオブジェクトの解放に失敗しました(Error Code(1))\r\n"},
    {"RMObjectLeftAtDestruction", kWin16, true,
     [](dddd::TDDDD& D) {
         D.D3DRM()->AddRef();
         D.~TDDDD();
     },
     "debug#00001 ... Direct3DRMオブジェクトの解放に失敗しました(Error Code(1))\r\n"},
};

class DisplayFailure : public DisplayTest, public ::testing::WithParamInterface<TFailure> {};

} // namespace

TEST_P(DisplayFailure, IsLoggedWithItsOwnLineAndEndsTheProgram) {
    const TFailure& f = GetParam();
    EXPECT_EXIT(
        {
            Start(f.Mode, f.Use3D);
            // A camera, so that rebuilds make a viewport too.
            IDirect3DRMFrame2* camera = nullptr;
            Display->D3DRM()->CreateFrame(nullptr, &camera);
            Display->SetCamera(camera);
            camera->Release();
            f.Provoke(*Display);
            std::fprintf(stderr, "went on\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(Log(), f.Line);
}

INSTANTIATE_TEST_SUITE_P(EveryReportedCall, DisplayFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(DisplayTest, FailuresThatAreOnlyToleratedDoNotEndTheProgram) {
    Start();
    IDirect3DRMFrame2* camera = nullptr;
    Display->D3DRM()->CreateFrame(nullptr, &camera);
    Display->SetCamera(camera);
    camera->Release();
    // The Z-buffer at 16 and 24 bits, the optional devices, the capability query, the buffer
    // count, the back plane.
    DDrawFailures().Fail("IDirectDraw2::CreateSurface", kCode, 2, 2);
    DDrawFailures().Fail("IDirectDraw2::GetCaps", kCode);
    D3DRMFailures().Fail("IDirect3DRMDevice::SetBufferCount", kCode);
    D3DRMFailures().Fail("IDirect3DRMViewport::SetBack", kCode);
    Display->D3DOptions = {};
    DDrawFailures().Fail("IDirect3D2::CreateDevice", kCode, 0, 2); // MMX and RGB
    Rebuild(*Display);
    EXPECT_EQ(Display->DeviceKind(), 4);
    EXPECT_EQ(Display->ZSurface()->GetSurfaceDesc().dwZBufferBitDepth, 32u);
    // Presentation's own failures are ignored too.
    DDrawFailures().Fail("IDirectDraw2::WaitForVerticalBlank", kCode);
    DDrawFailures().Fail("IDirectDrawSurface::Blt", kCode);
    DDrawFailures().Fail("IDirectDrawSurface::IsLost", kCode);
    DDrawFailures().Fail("IDirectDrawSurface::Restore", kCode, 0, -1);
    Display->Flip();
    Display->RestoreSurfaces();
    Display->Render(nullptr);
    EXPECT_EQ(Log(), "");
}
