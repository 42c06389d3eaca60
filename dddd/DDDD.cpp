#include "dddd/DDDD.h"

#include "ClipBlt.h"
#include "DdddDebug.h"
#include "platform/com/ComRef.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Gdi.h"
#include "platform/vcl/Screen.h"
#include "platform/vcl/ScreenSaver.h"

#include <QEvent>
#include <QMenu>
#include <QMoveEvent>
#include <QPointer>

#include <cfenv>
#include <cstdio>

namespace dddd {

namespace {

constexpr TDispModeInfo kModes[] = {
    {640, 480, 8, false},   {800, 600, 8, false},   {1024, 768, 8, false}, {640, 480, 16, false},
    {800, 600, 16, false},  {1024, 768, 16, false}, {640, 480, 24, false}, {800, 600, 24, false},
    {1024, 768, 24, false}, {640, 480, 8, true},    {800, 600, 8, true},   {1024, 768, 8, true},
    {640, 480, 16, true},   {800, 600, 16, true},   {1024, 768, 16, true}, {640, 480, 24, true},
    {800, 600, 24, true},   {1024, 768, 24, true},  {0, 0, 0, false},
};

constexpr DWORD kFullScreenLevel =
    DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_ALLOWMODEX;
constexpr D3DVALUE kBackPlane = 5000.0f;

std::string Format(const char* Pattern, int A, int B = 0, int C = 0) {
    char text[160];
    std::snprintf(text, sizeof text, Pattern, A, B, C);
    return text;
}

std::string DriverLine(const char* Description, const char* Name) {
    return std::string(Description ? Description : "") + " (" + (Name ? Name : "") + ")";
}

void Shift(DWORD Mask, int& ShiftOut, int& Loss) {
    if (Mask == 0) {
        ShiftOut = 32;
        Loss = 8;
        return;
    }
    int shift = 0;
    while (!((Mask >> shift) & 1u))
        ++shift;
    int bits = 0;
    while (bits < 8 && shift + bits < 32 && ((Mask >> (shift + bits)) & 1u))
        ++bits;
    ShiftOut = shift;
    Loss = 8 - bits;
}

// A reference count handed to ReportError: any count left is a failure.
std::int32_t Count(ULONG Left) {
    return static_cast<std::int32_t>(Left);
}

} // namespace

class TDDDD::TWindowHook : public QObject {
public:
    explicit TWindowHook(TDDDD& ADisplay) : Display(ADisplay) {}
    QPointer<TScreenView> View;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        return Display.WindowEvent(Watched, Event);
    }

private:
    TDDDD& Display;
};

TDispModeInfo DispModeInfo(TDDDDDispMode Mode) {
    return kModes[static_cast<int>(Mode)];
}

TDDDD::TDDDD(vcl::TForm* AOwner) : Owner(AOwner), Hook(std::make_unique<TWindowHook>(*this)) {
    FDestroying = false;
    FNotStarted = true;
    FStarted = false;
    // The form's own handlers came from its description before its components were made.
    SavedOnPaint = Owner->OnPaint;
    Owner->OnPaint = [this](vcl::TForm* Sender) { FormPaintHook(Sender); };
    SavedOnCreate = Owner->OnCreate;
    Owner->OnCreate = [this](vcl::TForm* Sender) { FormCreateHook(Sender); };
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &FSavedScreenSaver, 0);
    DirectDrawEnumerateA(
        [](GUID*, LPSTR Description, LPSTR Name, LPVOID Context) -> BOOL {
            static_cast<TDDDD*>(Context)->FDriverNames.push_back(DriverLine(Description, Name));
            return DDENUMRET_OK;
        },
        this);
    // The client area shows the screen, where presentation puts the picture.
    Hook->View = new TScreenView;
    Hook->View->OnExpose = [this] { Owner->DoPaint(); };
    Owner->setCentralWidget(Hook->View);
}

TDDDD::~TDDDD() {
    FDestroying = true;
    FDriverNames.clear();
    SetDisableScreenSaver(!FSavedScreenSaver);
    if (OnDestroy)
        OnDestroy(this);
    ReleaseDisplay();
    ReleaseRef(FCamera);
    RemoveWindowHook();
    // The form may paint or be created again after the component is gone: its own handlers
    // come back rather than calls into a freed component.
    Owner->OnPaint = SavedOnPaint;
    Owner->OnCreate = SavedOnCreate;
    // The view stays with the form; its exposes no longer reach this component.
    if (Hook->View)
        Hook->View->OnExpose = [Form = Owner] { Form->DoPaint(); };
}

TScreenView* TDDDD::View() const {
    return Hook->View;
}

void TDDDD::Loaded() {
    SetDisableScreenSaver(FDisableScreenSaver);
}

TDDDDDispMode TDDDD::DisplayMode() {
    DebugLog("ScreenModeプロパティは読み込み禁止です");
    return FDisplayMode;
}

void TDDDD::SetDisplayMode(TDDDDDispMode Value) {
    FDisplayMode = Value;
    const TDispModeInfo info = DispModeInfo(Value);
    if (Value == TDDDDDispMode::dmWinVariable) {
        RECT client;
        GetClientRect(Owner, &client);
        FModeWidth = client.right;
        FModeHeight = client.bottom;
        FModeBitCount = ScreenBitCount();
        FModeFullScreen = false;
    } else {
        FModeWidth = info.Width;
        FModeHeight = info.Height;
        FModeBitCount = info.BitCount;
        FModeFullScreen = info.FullScreen;
    }
    if (!FNotStarted)
        InitDisplay(FModeFullScreen, FModeWidth, FModeHeight, FModeBitCount, 0, "");
}

void TDDDD::SetDisableScreenSaver(bool Value) {
    FDisableScreenSaver = Value;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, Value ? 0 : 1, nullptr, SPIF_SENDWININICHANGE);
}

void TDDDD::FormCreateHook(vcl::TForm* Sender) {
    FWindowHandle = Owner;
    if (AutoDisplayModeInitialize && !DispModeInfo(FDisplayMode).FullScreen &&
        FDisplayMode != TDDDDDispMode::dmWinVariable) {
        SetDisplayMode(FDisplayMode);
        if (ScreenBitCount() != FModeBitCount) {
            Owner->hide();
            vcl::MessageBox(
                Owner,
                Format("画面モードが不適切です 色数を%dビットにして起動し直してください",
                       FModeBitCount),
                vcl::Application ? vcl::Application->Title() : std::string());
            if (vcl::Application)
                vcl::Application->Terminate();
        }
    }
    InitDisplay(false, 128, 128, ScreenBitCount(), 0, "");
    if (AutoDisplayModeInitialize)
        SetDisplayMode(FDisplayMode);
    if (!FNotStarted)
        return;
    FNotStarted = false;
    bool needChange = true;
    if (AutoDisplayModeInitialize) {
        needChange = FModeFullScreen && !ModeAvailable(FModeWidth, FModeHeight, FModeBitCount, 0);
        if (!needChange)
            InitDisplay(FModeFullScreen, FModeWidth, FModeHeight, FModeBitCount, 0, "");
    }
    if (SavedOnCreate)
        SavedOnCreate(Sender);
    if (OnInit)
        OnInit(Sender, needChange);
    FStarted = true;
    InstallWindowHook();
}

IDirectDraw* TDDDD::FindDriver(const std::string& DriverName) {
    struct TSearch {
        const std::string* Wanted;
        IDirectDraw* Found = nullptr;
    } search{&DriverName};
    DirectDrawEnumerateA(
        [](GUID* Id, LPSTR Description, LPSTR Name, LPVOID Context) -> BOOL {
            auto* s = static_cast<TSearch*>(Context);
            if (DriverLine(Description, Name) != *s->Wanted)
                return DDENUMRET_OK;
            return DirectDrawCreate(Id, &s->Found, nullptr) == DD_OK ? DDENUMRET_CANCEL
                                                                     : DDENUMRET_OK;
        },
        &search);
    return search.Found ? search.Found : CreatePrimaryDriver();
}

IDirectDraw* TDDDD::Find3DDriver() {
    IDirectDraw* found = nullptr;
    DirectDrawEnumerateA(
        [](GUID* Id, LPSTR, LPSTR, LPVOID Context) -> BOOL {
            if (!Id)
                return DDENUMRET_OK; // the primary display driver is not a 3D card
            TComRef<IDirectDraw> dd;
            ReportError(DirectDrawCreate(Id, dd.Out(), nullptr),
                        "DirectDrawドライバの作成に失敗しました");
            DDCAPS hw{}, hel{};
            hw.dwSize = hel.dwSize = sizeof(DDCAPS);
            if (dd->GetCaps(&hw, &hel) == DD_OK && (hw.dwCaps & DDCAPS_3D) &&
                (hw.ddsCaps.dwCaps & DDSCAPS_TEXTURE)) {
                *static_cast<IDirectDraw**>(Context) = dd.Detach();
                return DDENUMRET_CANCEL;
            }
            return DDENUMRET_OK;
        },
        &found);
    return found ? found : CreatePrimaryDriver();
}

IDirectDraw* TDDDD::CreatePrimaryDriver() {
    IDirectDraw* dd = nullptr;
    ReportError(DirectDrawCreate(nullptr, &dd, nullptr), "DirectDrawオブジェクトが作成できません");
    return dd;
}

void TDDDD::InitDisplay(bool FullScreen, int Width, int Height, int BitCount, int RefreshRate,
                        const std::string& DriverName) {
    if (FullScreen)
        Owner->show();
    FBusy = true;
    ReleaseDisplay();
    FWindowHandle = Owner;

    if (FullScreen && !DriverName.empty())
        FDirectDraw = FindDriver(DriverName);
    else if (FullScreen && Use3D)
        FDirectDraw = Find3DDriver();
    else
        FDirectDraw = CreatePrimaryDriver();
    ReportError(
        FDirectDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&FDirectDraw2)),
        "DirectDrawオブジェクトとDirectDraw2オブジェクトの連結に失敗しました");
    DDCAPS hw{}, hel{};
    hw.dwSize = hel.dwSize = sizeof(DDCAPS);
    FDirectDraw2->GetCaps(&hw, &hel);
    FHardware3D = (hw.dwCaps & DDCAPS_3D) && BitCount > 8;

    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* back = nullptr;
    if (FullScreen)
        CreateFullScreenSurfaces(Width, Height, BitCount, RefreshRate, primary, back);
    else
        CreateWindowedSurfaces(Width, Height, primary, back);

    FModeBitCount = BitCount;
    FModeFullScreen = FullScreen;
    FModeRefreshRate = RefreshRate;
    FModeWidth = Width;
    FModeHeight = Height;
    FPrimarySurface = std::make_unique<TDDDDGenSurface>(this, primary, Width, Height);
    FBackSurface = std::make_unique<TDDDDGenSurface>(this, back, Width, Height);
    ReleaseRef(FPalette);
    FillPaletteEntries(FullScreen);
    if (BitCount == 8) {
        ReportError(
            FDirectDraw2->CreatePalette(DDPCAPS_8BIT, FPaletteEntries.data(), &FPalette, nullptr),
            "DirectDrawPaletteの作成に失敗しました");
        ReportError(primary->SetPalette(FPalette),
                    "DirectDrawPaletteのFrontBufferへの割り当てに失敗しました");
        ReportError(back->SetPalette(FPalette),
                    "DirectDrawPaletteのBackBufferへの割り当てに失敗しました");
    }
    if (Use3D)
        Build3D(Width, Height, back);
    FBusy = false;
    if (FStarted) {
        FRegistry.RebuildPass();
        if (OnChangeDisplayMode)
            OnChangeDisplayMode(this);
    }
    if (BitCount != 8)
        ReadChannelShifts();
}

void TDDDD::CreateFullScreenSurfaces(int Width, int Height, int BitCount, int RefreshRate,
                                     IDirectDrawSurface*& Primary, IDirectDrawSurface*& Back) {
    // The window system keeps a full-screen window covering the screen; only a window that is
    // not one yet is placed.
    if (!Owner->isFullScreen())
        Owner->setGeometry(0, 0, Width, Height);
    ReportError(FDirectDraw2->SetCooperativeLevel(FWindowHandle, kFullScreenLevel),
                "協調レベルの設定に失敗しました");
    ReportError(FDirectDraw2->SetDisplayMode(DWORD(Width), DWORD(Height), DWORD(BitCount),
                                             DWORD(RefreshRate), 0),
                Format("画面モード%dx%dx%dの初期化に失敗しました", Width, Height, BitCount));
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | (Use3D ? DDSCAPS_3DDEVICE : 0);
    ReportError(FDirectDraw2->CreateSurface(&d, &Primary, nullptr),
                "プライマリ・サーフェスの作成に失敗しました");
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ReportError(Primary->GetAttachedSurface(&caps, &Back), "バックバッファの作成に失敗しました");
    // The chain holds the back buffer; the component never releases its surfaces.
    Back->Release();
    BringWindowToTop(FWindowHandle);
}

void TDDDD::CreateWindowedSurfaces(int Width, int Height, IDirectDrawSurface*& Primary,
                                   IDirectDrawSurface*& Back) {
    ReportError(FDirectDraw2->SetCooperativeLevel(FWindowHandle, DDSCL_NORMAL),
                "協調レベルの設定に失敗しました");
    DDSURFACEDESC p;
    p.dwSize = sizeof p;
    p.dwFlags = DDSD_CAPS;
    p.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ReportError(FDirectDraw2->CreateSurface(&p, &Primary, nullptr),
                "プライマリ・サーフェスの作成に失敗しました");
    DDSURFACEDESC b;
    b.dwSize = sizeof b;
    b.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    b.dwWidth = DWORD(Width);
    b.dwHeight = DWORD(Height);
    if (!Use3D)
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    else if (D3DOptions.Contains(DontUseHAL) || !FHardware3D)
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE;
    else
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    ReportError(FDirectDraw2->CreateSurface(&b, &Back, nullptr),
                "バックバッファの作成に失敗しました");
    if (AllowRakugaki)
        return;
    ReportError(FDirectDraw2->CreateClipper(0, &FClipper, nullptr),
                "Clipperオブジェクトの作成に失敗しました");
    ReportError(FClipper->SetHWnd(0, FWindowHandle), "Clipperのフォームへの割り当てに失敗しました");
    ReportError(Primary->SetClipper(FClipper),
                "Clipperのプライマリサーフェスへの割り当てに失敗しました");
}

void TDDDD::FillPaletteEntries(bool FullScreen) {
    if (!Use3D) {
        for (PALETTEENTRY& e : FPaletteEntries)
            e.peFlags = PC_NOCOLLAPSE;
    } else if (FullScreen) {
        for (int i = 0; i < 256; ++i)
            FPaletteEntries[i] = {BYTE(((i >> 5) & 7) * 255 / 7), BYTE(((i >> 2) & 7) * 255 / 7),
                                  BYTE((i & 3) * 255 / 3), D3DPAL_READONLY};
    } else {
        HDC dc = GetDC(nullptr);
        GetSystemPaletteEntries(dc, 0, 256, FPaletteEntries.data());
        ReleaseDC(nullptr, dc);
        for (int i = 0; i < 256; ++i)
            FPaletteEntries[i].peFlags = i < 10 || i > 245 ? D3DPAL_READONLY : PC_RESERVED;
    }
}

void TDDDD::Build3D(int Width, int Height, IDirectDrawSurface* Back) {
    DDSCAPS backCaps{};
    Back->GetCaps(&backCaps);
    const DWORD zCaps =
        (backCaps.dwCaps & DDSCAPS_VIDEOMEMORY) && !D3DOptions.Contains(DontUseHAL) && FHardware3D
            ? DDSCAPS_ZBUFFER
            : DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* z = nullptr;
    HRESULT hr = DD_OK;
    for (DWORD depth : {16u, 24u, 32u}) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
        d.dwWidth = DWORD(Width);
        d.dwHeight = DWORD(Height);
        d.dwZBufferBitDepth = depth;
        d.ddsCaps.dwCaps = zCaps;
        hr = FDirectDraw2->CreateSurface(&d, &z, nullptr);
        if (hr == DD_OK)
            break;
    }
    ReportError(hr, "Zバッファの作成に失敗しました");
    ReportError(Back->AddAttachedSurface(z), "Zバッファのアタッチに失敗しました");
    FZSurface = std::make_unique<TDDDDGenSurface>(this, z, Width, Height);

    // The previous build's object is let go here; what the scene made through it lives on.
    ReleaseRef(FD3DRM);
    TComRef<IDirect3DRM> rm;
    ReportError(Direct3DRMCreate(rm.Out()), "Direct3DRMオブジェクトの作成に失敗しました");
    ReportError(rm->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&FD3DRM)),
                "Direct3DRM2オブジェクトの作成に失敗しました");
    rm.Reset();
    ReportError(FDirectDraw2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&FDirect3D)),
                "Direct3Dオブジェクトの作成に失敗しました");

    const bool hal = !D3DOptions.Contains(DontUseHAL) && FHardware3D;
    if (hal && FDirect3D->CreateDevice(IID_IDirect3DHALDevice, Back, &FD3DDevice) == DD_OK)
        FDeviceKind = 1;
    else if (!D3DOptions.Contains(DontUseMMX) &&
             FDirect3D->CreateDevice(IID_IDirect3DMMXDevice, Back, &FD3DDevice) == DD_OK)
        FDeviceKind = 2;
    else if (!D3DOptions.Contains(DontUseRGBEmulation) &&
             FDirect3D->CreateDevice(IID_IDirect3DRGBDevice, Back, &FD3DDevice) == DD_OK)
        FDeviceKind = 3;
    else {
        ReportError(FDirect3D->CreateDevice(IID_IDirect3DRampDevice, Back, &FD3DDevice),
                    "Diret3Dデバイスの作成に失敗しました");
        FDeviceKind = 4;
    }
    ReportError(FD3DRM->CreateDeviceFromD3D(FDirect3D, FD3DDevice, &FD3DRMDevice),
                "Diret3DRMデバイスの作成に失敗しました");
    FD3DRMDevice->SetBufferCount(2);
    if (FCamera) {
        ReportError(FD3DRM->CreateViewport(FD3DRMDevice, FCamera, 0, 0, DWORD(Width), DWORD(Height),
                                           &FViewport),
                    "Viewportの作成に失敗しました");
        FViewport->SetBack(kBackPlane);
    }
    const DDSURFACEDESC zDesc = FZSurface->GetSurfaceDesc();
    FZInVideoMemory = (zDesc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
}

void TDDDD::ReadChannelShifts() {
    const DDSURFACEDESC d = FBackSurface->GetSurfaceDesc();
    FRedMask = d.ddpfPixelFormat.dwRBitMask;
    FGreenMask = d.ddpfPixelFormat.dwGBitMask;
    FBlueMask = d.ddpfPixelFormat.dwBBitMask;
    Shift(FRedMask, FRedShift, FRedLoss);
    Shift(FGreenMask, FGreenShift, FGreenLoss);
    Shift(FBlueMask, FBlueShift, FBlueLoss);
}

void TDDDD::ReleaseDisplay() {
    FBusy = true;
    if (FNotStarted)
        return;
    if (!FDestroying && FStarted) {
        FRegistry.CleanUpPass();
        if (OnCleanUp)
            OnCleanUp(this);
    }
    if (Use3D) {
        ReleaseRef(FViewport);
        if (FD3DRMDevice)
            ReportError(Count(ReleaseRef(FD3DRMDevice)), "Direct3DRMデバイスの解放に失敗しました");
        if (FD3DDevice)
            ReportError(Count(ReleaseRef(FD3DDevice)), "Direct3Dデバイスの解放に失敗しました");
    }
    ReleaseRef(FPalette);
    if (Use3D) {
        if (FDestroying && FD3DRM)
            ReportError(Count(ReleaseRef(FD3DRM)), "Direct3DRMオブジェクトの解放に失敗しました");
        ReleaseRef(FDirect3D);
    }
    ReleaseRef(FClipper);
    // The wrappers let go of their surfaces, which go with the DirectDraw object below.
    FBackSurface.reset();
    FPrimarySurface.reset();
    FZSurface.reset();
    if (FModeFullScreen && FDirectDraw2)
        FDirectDraw2->RestoreDisplayMode();
    if (FDirectDraw2)
        ReportError(Count(ReleaseRef(FDirectDraw2)), "DirectDrawオブジェクトの解放に失敗しました");
    if (FDirectDraw)
        ReportError(Count(ReleaseRef(FDirectDraw)), "DirectDrawオブジェクトの解放に失敗しました");
}

void TDDDD::Render(IDirect3DRMFrame* Scene) {
    // A frame before any camera was given has nothing to render through.
    if (!FViewport || !FD3DRMDevice)
        return;
    std::fesetenv(FE_DFL_ENV);
    FViewport->Clear();
    if (Scene)
        FViewport->Render(Scene);
    FD3DRMDevice->Update();
    std::fesetenv(FE_DFL_ENV);
}

void TDDDD::Flip() {
    if (!FPrimarySurface || !FBackSurface || FBusy)
        return;
    IDirectDrawSurface* primary = FPrimarySurface->Surface;
    IDirectDrawSurface* back = FBackSurface->Surface;
    if (FModeFullScreen && primary->Flip(nullptr, DDFLIP_WAIT) == DD_OK)
        return;
    const DDSURFACEDESC d = FBackSurface->GetSurfaceDesc();
    RECT src{0, 0, LONG(d.dwWidth), LONG(d.dwHeight)};
    RECT client;
    GetClientRect(FWindowHandle, &client);
    POINT origin{};
    ClientToScreen(FWindowHandle, &origin);
    RECT dst{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const RECT clip{0, 0, vcl::Screen().Width(), vcl::Screen().Height()};
    if (VsyncAtWindowed)
        FDirectDraw2->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    const bool sameSize = dst.right - dst.left == src.right - src.left &&
                          dst.bottom - dst.top == src.bottom - src.top;
    if (sameSize && AllowRakugaki) {
        LONG x = dst.left, y = dst.top;
        if (ClipBltFast(x, y, src, clip))
            primary->BltFast(DWORD(x), DWORD(y), back, &src, DDBLTFAST_WAIT);
    } else if (!AllowRakugaki) {
        if (ClipBlt(dst, src, clip))
            primary->Blt(&dst, back, &src, DDBLT_WAIT, &fx);
    } else {
        primary->Blt(&dst, back, &src, DDBLT_WAIT, &fx);
    }
}

void TDDDD::SetCamera(IDirect3DRMFrame* ACamera) {
    // The camera is kept, counted, for every later build's viewport.
    if (ACamera)
        ACamera->AddRef();
    ReleaseRef(FCamera);
    FCamera = ACamera;
    if (FViewport) {
        FViewport->SetCamera(FCamera);
        return;
    }
    if (!FD3DRM || !FD3DRMDevice)
        return;
    ReportError(FD3DRM->CreateViewport(FD3DRMDevice, FCamera, 0, 0, DWORD(FModeWidth),
                                       DWORD(FModeHeight), &FViewport),
                "Viewportの作成に失敗しました");
    FViewport->SetBack(kBackPlane);
}

void TDDDD::RestoreSurfaces() {
    if (FPrimarySurface)
        FPrimarySurface->RestoreIfLost();
    if (!FModeFullScreen && FBackSurface)
        FBackSurface->RestoreIfLost();
    if (Use3D && FZSurface)
        FZSurface->RestoreIfLost();
    FRegistry.RestorePass();
}

void TDDDD::UpdatePalette() {
    if (FModeBitCount != 8)
        return;
    if (FModeFullScreen) {
        if (FPalette)
            ReportError(FPalette->SetEntries(0, 0, 256, FPaletteEntries.data()),
                        "パレットが更新できませんでした");
        return;
    }
    LOGPALETTE lp;
    lp.palVersion = 0x300;
    lp.palNumEntries = 256;
    for (PALETTEENTRY& e : lp.palPalEntry)
        e = {0, 0, 0, PC_NOCOLLAPSE};
    HDC screen = GetDC(nullptr);
    HPALETTE black = CreatePalette(&lp);
    HPALETTE previous = SelectPalette(screen, black, FALSE);
    RealizePalette(screen);
    SelectPalette(screen, previous, FALSE);
    RealizePalette(screen);
    GetSystemPaletteEntries(screen, 0, 256, lp.palPalEntry);
    for (int i = 10; i < 246; ++i)
        lp.palPalEntry[i] = FPaletteEntries[i];
    HPALETTE mine = CreatePalette(&lp);
    HDC window = GetDC(FWindowHandle);
    SelectPalette(window, mine, FALSE);
    RealizePalette(window);
    ReleaseDC(FWindowHandle, window);
    ReleaseDC(nullptr, screen);
    DeleteObject(black);
    DeleteObject(mine);
}

int TDDDD::ScreenBitCount() {
    HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    DeleteDC(dc);
    return bits;
}

bool TDDDD::ModeAvailable(int Width, int Height, int BitCount, int RefreshRate) {
    if (!FDirectDraw2)
        return false;
    struct TList {
        std::vector<DDSURFACEDESC> Modes;
    } list;
    DDSURFACEDESC all;
    all.dwSize = sizeof all;
    FDirectDraw2->EnumDisplayModes(
        0, &all, &list, [](LPDDSURFACEDESC D, LPVOID Context) -> HRESULT {
            auto* l = static_cast<TList*>(Context);
            l->Modes.push_back(*D);
            return l->Modes.size() < 256 ? DDENUMRET_OK : DDENUMRET_CANCEL;
        });
    const auto matches = [](int Wanted, DWORD Have) {
        return Wanted == 0 || DWORD(Wanted) == Have;
    };
    for (const DDSURFACEDESC& m : list.Modes)
        if (matches(Width, m.dwWidth) && matches(Height, m.dwHeight) &&
            matches(BitCount, m.ddpfPixelFormat.dwRGBBitCount) &&
            matches(RefreshRate, m.dwRefreshRate))
            return true;
    return false;
}

void TDDDD::FormPaintHook(vcl::TForm* Sender) {
    if (!Owner->isActiveWindow())
        return;
    if (SavedOnPaint)
        SavedOnPaint(Sender);
    if (FBusy)
        return;
    RestoreSurfaces();
    UpdatePalette();
    if (OnRestore)
        OnRestore(this);
}

void TDDDD::InstallWindowHook() {
    if (Hooked)
        return;
    Hooked = true;
    Owner->installEventFilter(Hook.get());
    for (QMenu* m : Owner->findChildren<QMenu*>())
        m->installEventFilter(Hook.get());
}

void TDDDD::RemoveWindowHook() {
    if (!Hooked)
        return;
    Hooked = false;
    Owner->removeEventFilter(Hook.get());
    for (QMenu* m : Owner->findChildren<QMenu*>())
        m->removeEventFilter(Hook.get());
}

void TDDDD::EnterMenuLoop() {
    if (FModeFullScreen && !Owner->isFullScreen())
        Owner->setGeometry(0, 0, vcl::Screen().Width(), vcl::Screen().Height());
    if (FDirectDraw2)
        FDirectDraw2->FlipToGDISurface();
    Owner->update();
    if (OnEnterMenuLoop)
        OnEnterMenuLoop(this);
}

bool TDDDD::WindowEvent(QObject* Watched, QEvent* Event) {
    if (qobject_cast<QMenu*>(Watched)) {
        // The menu loop runs while any of the form's menus is open.
        if (Event->type() == QEvent::Show && OpenMenus++ == 0)
            EnterMenuLoop();
        else if (Event->type() == QEvent::Hide && OpenMenus > 0 && --OpenMenus == 0 &&
                 OnExitMenuLoop)
            OnExitMenuLoop(this);
        return false;
    }
    if (Watched != Owner)
        return false;
    switch (Event->type()) {
    case QEvent::Move:
        if (FModeFullScreen && static_cast<QMoveEvent*>(Event)->pos() != QPoint(0, 0) &&
            !Owner->isFullScreen())
            Owner->move(0, 0);
        break;
    case QEvent::WindowStateChange:
        if (FModeFullScreen && Owner->isMaximized()) {
            Owner->showNormal();
            Owner->resize(vcl::Screen().Width(), vcl::Screen().Height());
        }
        break;
    case QEvent::WindowActivate:
        UpdatePalette();
        break;
    default:
        break;
    }
    return false;
}

} // namespace dddd
