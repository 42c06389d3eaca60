#include "dddd/DDDD.h"

#include "dddd/ClipBlt.h"
#include "dddd/DdddDebug.h"
#include "platform/com/ComRef.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Gdi.h"
#include "platform/vcl/Screen.h"
#include "platform/vcl/ScreenSaver.h"

#include <QEvent>
#include <QMenu>
#include <QMoveEvent>

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

TDispModeInfo DispModeInfo(TDDDDDispMode Mode) {
    return kModes[static_cast<int>(Mode)];
}

TDDDD::TDDDD(vcl::TForm* AOwner) : Owner(AOwner) {
    Destroying = false;
    NotStarted = true;
    Started = false;
    // The form's own handlers came from its description before its components were made.
    SavedOnPaint = Owner->OnPaint;
    Owner->OnPaint = [this](vcl::TForm* Sender) { FormPaintHook(Sender); };
    SavedOnCreate = Owner->OnCreate;
    Owner->OnCreate = [this](vcl::TForm* Sender) { FormCreateHook(Sender); };
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &SavedScreenSaver, 0);
    DirectDrawEnumerateA(
        [](GUID*, LPSTR Description, LPSTR Name, LPVOID Context) -> BOOL {
            static_cast<TDDDD*>(Context)->DriverNames.push_back(DriverLine(Description, Name));
            return DDENUMRET_OK;
        },
        this);
    // The client area shows the screen, where presentation puts the picture.
    View = new TScreenView;
    View->OnExpose = [this] { Owner->DoPaint(); };
    Owner->setCentralWidget(View);
}

TDDDD::~TDDDD() {
    Destroying = true;
    DriverNames.clear();
    SetDisableScreenSaver(!SavedScreenSaver);
    if (OnDestroy)
        OnDestroy(this);
    ReleaseDisplay();
    ReleaseRef(Camera);
    RemoveWindowHook();
    // The form may paint or be created again after the component is gone: its own handlers
    // come back rather than calls into a freed component.
    Owner->OnPaint = SavedOnPaint;
    Owner->OnCreate = SavedOnCreate;
    // The view stays with the form; its exposes no longer reach this component.
    if (View)
        View->OnExpose = [Form = Owner] { Form->DoPaint(); };
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
        ModeWidth = client.right;
        ModeHeight = client.bottom;
        ModeBitCount = ScreenBitCount();
        ModeFullScreen = false;
    } else {
        ModeWidth = info.Width;
        ModeHeight = info.Height;
        ModeBitCount = info.BitCount;
        ModeFullScreen = info.FullScreen;
    }
    if (!NotStarted)
        InitDisplay(ModeFullScreen, ModeWidth, ModeHeight, ModeBitCount, 0, "");
}

void TDDDD::SetDisableScreenSaver(bool Value) {
    FDisableScreenSaver = Value;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, Value ? 0 : 1, nullptr, SPIF_SENDWININICHANGE);
}

void TDDDD::FormCreateHook(vcl::TForm* Sender) {
    WindowHandle = Owner;
    if (AutoDisplayModeInitialize && !DispModeInfo(FDisplayMode).FullScreen &&
        FDisplayMode != TDDDDDispMode::dmWinVariable) {
        SetDisplayMode(FDisplayMode);
        if (ScreenBitCount() != ModeBitCount) {
            Owner->hide();
            vcl::MessageBox(
                Owner,
                Format("画面モードが不適切です 色数を%dビットにして起動し直してください",
                       ModeBitCount),
                vcl::Application ? vcl::Application->Title() : std::string());
            if (vcl::Application)
                vcl::Application->Terminate();
        }
    }
    InitDisplay(false, 128, 128, ScreenBitCount(), 0, "");
    if (AutoDisplayModeInitialize)
        SetDisplayMode(FDisplayMode);
    if (!NotStarted)
        return;
    NotStarted = false;
    bool needChange = true;
    if (AutoDisplayModeInitialize) {
        needChange = ModeFullScreen && !ModeAvailable(ModeWidth, ModeHeight, ModeBitCount, 0);
        if (!needChange)
            InitDisplay(ModeFullScreen, ModeWidth, ModeHeight, ModeBitCount, 0, "");
    }
    if (SavedOnCreate)
        SavedOnCreate(Sender);
    if (OnInit)
        OnInit(Sender, needChange);
    Started = true;
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
    Busy = true;
    ReleaseDisplay();
    WindowHandle = Owner;

    if (FullScreen && !DriverName.empty())
        DirectDraw = FindDriver(DriverName);
    else if (FullScreen && Use3D)
        DirectDraw = Find3DDriver();
    else
        DirectDraw = CreatePrimaryDriver();
    ReportError(
        DirectDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&DirectDraw2)),
        "DirectDrawオブジェクトとDirectDraw2オブジェクトの連結に失敗しました");
    DDCAPS hw{}, hel{};
    hw.dwSize = hel.dwSize = sizeof(DDCAPS);
    DirectDraw2->GetCaps(&hw, &hel);
    Hardware3D = (hw.dwCaps & DDCAPS_3D) && BitCount > 8;

    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* back = nullptr;
    if (FullScreen)
        CreateFullScreenSurfaces(Width, Height, BitCount, RefreshRate, primary, back);
    else
        CreateWindowedSurfaces(Width, Height, primary, back);

    ModeBitCount = BitCount;
    ModeFullScreen = FullScreen;
    ModeRefreshRate = RefreshRate;
    ModeWidth = Width;
    ModeHeight = Height;
    PrimarySurface = std::make_unique<TDDDDGenSurface>(this, primary, Width, Height);
    BackSurface = std::make_unique<TDDDDGenSurface>(this, back, Width, Height);
    ReleaseRef(Palette);
    FillPaletteEntries(FullScreen);
    if (BitCount == 8) {
        ReportError(
            DirectDraw2->CreatePalette(DDPCAPS_8BIT, PaletteEntries.data(), &Palette, nullptr),
            "DirectDrawPaletteの作成に失敗しました");
        ReportError(primary->SetPalette(Palette),
                    "DirectDrawPaletteのFrontBufferへの割り当てに失敗しました");
        ReportError(back->SetPalette(Palette),
                    "DirectDrawPaletteのBackBufferへの割り当てに失敗しました");
    }
    if (Use3D)
        Build3D(Width, Height, back);
    Busy = false;
    if (Started) {
        Registry.RebuildPass();
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
    ReportError(DirectDraw2->SetCooperativeLevel(WindowHandle, kFullScreenLevel),
                "協調レベルの設定に失敗しました");
    ReportError(DirectDraw2->SetDisplayMode(DWORD(Width), DWORD(Height), DWORD(BitCount),
                                            DWORD(RefreshRate), 0),
                Format("画面モード%dx%dx%dの初期化に失敗しました", Width, Height, BitCount));
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | (Use3D ? DDSCAPS_3DDEVICE : 0);
    ReportError(DirectDraw2->CreateSurface(&d, &Primary, nullptr),
                "プライマリ・サーフェスの作成に失敗しました");
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ReportError(Primary->GetAttachedSurface(&caps, &Back), "バックバッファの作成に失敗しました");
    // The chain holds the back buffer; the component never releases its surfaces.
    Back->Release();
    BringWindowToTop(WindowHandle);
}

void TDDDD::CreateWindowedSurfaces(int Width, int Height, IDirectDrawSurface*& Primary,
                                   IDirectDrawSurface*& Back) {
    ReportError(DirectDraw2->SetCooperativeLevel(WindowHandle, DDSCL_NORMAL),
                "協調レベルの設定に失敗しました");
    DDSURFACEDESC p;
    p.dwSize = sizeof p;
    p.dwFlags = DDSD_CAPS;
    p.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ReportError(DirectDraw2->CreateSurface(&p, &Primary, nullptr),
                "プライマリ・サーフェスの作成に失敗しました");
    DDSURFACEDESC b;
    b.dwSize = sizeof b;
    b.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    b.dwWidth = DWORD(Width);
    b.dwHeight = DWORD(Height);
    if (!Use3D)
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    else if (D3DOptions.Contains(DontUseHAL) || !Hardware3D)
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE;
    else
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    ReportError(DirectDraw2->CreateSurface(&b, &Back, nullptr),
                "バックバッファの作成に失敗しました");
    if (AllowRakugaki)
        return;
    ReportError(DirectDraw2->CreateClipper(0, &Clipper, nullptr),
                "Clipperオブジェクトの作成に失敗しました");
    ReportError(Clipper->SetHWnd(0, WindowHandle), "Clipperのフォームへの割り当てに失敗しました");
    ReportError(Primary->SetClipper(Clipper),
                "Clipperのプライマリサーフェスへの割り当てに失敗しました");
}

void TDDDD::FillPaletteEntries(bool FullScreen) {
    if (!Use3D) {
        for (PALETTEENTRY& e : PaletteEntries)
            e.peFlags = PC_NOCOLLAPSE;
    } else if (FullScreen) {
        for (int i = 0; i < 256; ++i)
            PaletteEntries[i] = {BYTE(((i >> 5) & 7) * 255 / 7), BYTE(((i >> 2) & 7) * 255 / 7),
                                 BYTE((i & 3) * 255 / 3), D3DPAL_READONLY};
    } else {
        HDC dc = GetDC(nullptr);
        GetSystemPaletteEntries(dc, 0, 256, PaletteEntries.data());
        ReleaseDC(nullptr, dc);
        for (int i = 0; i < 256; ++i)
            PaletteEntries[i].peFlags = i < 10 || i > 245 ? D3DPAL_READONLY : PC_RESERVED;
    }
}

void TDDDD::Build3D(int Width, int Height, IDirectDrawSurface* Back) {
    DDSCAPS backCaps{};
    Back->GetCaps(&backCaps);
    const DWORD zCaps =
        (backCaps.dwCaps & DDSCAPS_VIDEOMEMORY) && !D3DOptions.Contains(DontUseHAL) && Hardware3D
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
        hr = DirectDraw2->CreateSurface(&d, &z, nullptr);
        if (hr == DD_OK)
            break;
    }
    ReportError(hr, "Zバッファの作成に失敗しました");
    ReportError(Back->AddAttachedSurface(z), "Zバッファのアタッチに失敗しました");
    ZSurface = std::make_unique<TDDDDGenSurface>(this, z, Width, Height);

    // The previous build's object is let go here; what the scene made through it lives on.
    ReleaseRef(D3DRM);
    TComRef<IDirect3DRM> rm;
    ReportError(Direct3DRMCreate(rm.Out()), "Direct3DRMオブジェクトの作成に失敗しました");
    ReportError(rm->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&D3DRM)),
                "Direct3DRM2オブジェクトの作成に失敗しました");
    rm.Reset();
    ReportError(DirectDraw2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&Direct3D)),
                "Direct3Dオブジェクトの作成に失敗しました");

    const bool hal = !D3DOptions.Contains(DontUseHAL) && Hardware3D;
    if (hal && Direct3D->CreateDevice(IID_IDirect3DHALDevice, Back, &D3DDevice) == DD_OK)
        DeviceKind = 1;
    else if (!D3DOptions.Contains(DontUseMMX) &&
             Direct3D->CreateDevice(IID_IDirect3DMMXDevice, Back, &D3DDevice) == DD_OK)
        DeviceKind = 2;
    else if (!D3DOptions.Contains(DontUseRGBEmulation) &&
             Direct3D->CreateDevice(IID_IDirect3DRGBDevice, Back, &D3DDevice) == DD_OK)
        DeviceKind = 3;
    else {
        ReportError(Direct3D->CreateDevice(IID_IDirect3DRampDevice, Back, &D3DDevice),
                    "Diret3Dデバイスの作成に失敗しました");
        DeviceKind = 4;
    }
    ReportError(D3DRM->CreateDeviceFromD3D(Direct3D, D3DDevice, &D3DRMDevice),
                "Diret3DRMデバイスの作成に失敗しました");
    D3DRMDevice->SetBufferCount(2);
    if (Camera) {
        ReportError(D3DRM->CreateViewport(D3DRMDevice, Camera, 0, 0, DWORD(Width), DWORD(Height),
                                          &Viewport),
                    "Viewportの作成に失敗しました");
        Viewport->SetBack(kBackPlane);
    }
    const DDSURFACEDESC zDesc = ZSurface->GetSurfaceDesc();
    ZInVideoMemory = (zDesc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
}

void TDDDD::ReadChannelShifts() {
    const DDSURFACEDESC d = BackSurface->GetSurfaceDesc();
    RedMask = d.ddpfPixelFormat.dwRBitMask;
    GreenMask = d.ddpfPixelFormat.dwGBitMask;
    BlueMask = d.ddpfPixelFormat.dwBBitMask;
    Shift(RedMask, RedShift, RedLoss);
    Shift(GreenMask, GreenShift, GreenLoss);
    Shift(BlueMask, BlueShift, BlueLoss);
}

void TDDDD::ReleaseDisplay() {
    Busy = true;
    if (NotStarted)
        return;
    if (!Destroying && Started) {
        Registry.CleanUpPass();
        if (OnCleanUp)
            OnCleanUp(this);
    }
    if (Use3D) {
        ReleaseRef(Viewport);
        if (D3DRMDevice)
            ReportError(Count(ReleaseRef(D3DRMDevice)), "Direct3DRMデバイスの解放に失敗しました");
        if (D3DDevice)
            ReportError(Count(ReleaseRef(D3DDevice)), "Direct3Dデバイスの解放に失敗しました");
    }
    ReleaseRef(Palette);
    if (Use3D) {
        if (Destroying && D3DRM)
            ReportError(Count(ReleaseRef(D3DRM)), "Direct3DRMオブジェクトの解放に失敗しました");
        ReleaseRef(Direct3D);
    }
    ReleaseRef(Clipper);
    // The wrappers let go of their surfaces, which go with the DirectDraw object below.
    BackSurface.reset();
    PrimarySurface.reset();
    ZSurface.reset();
    if (ModeFullScreen && DirectDraw2)
        DirectDraw2->RestoreDisplayMode();
    if (DirectDraw2)
        ReportError(Count(ReleaseRef(DirectDraw2)), "DirectDrawオブジェクトの解放に失敗しました");
    if (DirectDraw)
        ReportError(Count(ReleaseRef(DirectDraw)), "DirectDrawオブジェクトの解放に失敗しました");
}

void TDDDD::Render(IDirect3DRMFrame* Scene) {
    // A frame before any camera was given has nothing to render through.
    if (!Viewport || !D3DRMDevice)
        return;
    std::fesetenv(FE_DFL_ENV);
    Viewport->Clear();
    if (Scene)
        Viewport->Render(Scene);
    D3DRMDevice->Update();
    std::fesetenv(FE_DFL_ENV);
}

void TDDDD::Flip() {
    if (!PrimarySurface || !BackSurface || Busy)
        return;
    IDirectDrawSurface* primary = PrimarySurface->Surface;
    IDirectDrawSurface* back = BackSurface->Surface;
    if (ModeFullScreen && primary->Flip(nullptr, DDFLIP_WAIT) == DD_OK)
        return;
    const DDSURFACEDESC d = BackSurface->GetSurfaceDesc();
    RECT src{0, 0, LONG(d.dwWidth), LONG(d.dwHeight)};
    RECT client;
    GetClientRect(WindowHandle, &client);
    POINT origin{};
    ClientToScreen(WindowHandle, &origin);
    RECT dst{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const RECT clip{0, 0, vcl::Screen().Width(), vcl::Screen().Height()};
    if (VsyncAtWindowed)
        DirectDraw2->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
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
    ReleaseRef(Camera);
    Camera = ACamera;
    if (Viewport) {
        Viewport->SetCamera(Camera);
        return;
    }
    if (!D3DRM || !D3DRMDevice)
        return;
    ReportError(D3DRM->CreateViewport(D3DRMDevice, Camera, 0, 0, DWORD(ModeWidth),
                                      DWORD(ModeHeight), &Viewport),
                "Viewportの作成に失敗しました");
    Viewport->SetBack(kBackPlane);
}

void TDDDD::RestoreSurfaces() {
    if (PrimarySurface)
        PrimarySurface->RestoreIfLost();
    if (!ModeFullScreen && BackSurface)
        BackSurface->RestoreIfLost();
    if (Use3D && ZSurface)
        ZSurface->RestoreIfLost();
    Registry.RestorePass();
}

void TDDDD::UpdatePalette() {
    if (ModeBitCount != 8)
        return;
    if (ModeFullScreen) {
        if (Palette)
            ReportError(Palette->SetEntries(0, 0, 256, PaletteEntries.data()),
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
        lp.palPalEntry[i] = PaletteEntries[i];
    HPALETTE mine = CreatePalette(&lp);
    HDC window = GetDC(WindowHandle);
    SelectPalette(window, mine, FALSE);
    RealizePalette(window);
    ReleaseDC(WindowHandle, window);
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
    if (!DirectDraw2)
        return false;
    struct TList {
        std::vector<DDSURFACEDESC> Modes;
    } list;
    DDSURFACEDESC all;
    all.dwSize = sizeof all;
    DirectDraw2->EnumDisplayModes(0, &all, &list, [](LPDDSURFACEDESC D, LPVOID Context) -> HRESULT {
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
    if (Busy)
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
    Owner->installEventFilter(this);
    for (QMenu* m : Owner->findChildren<QMenu*>())
        m->installEventFilter(this);
}

void TDDDD::RemoveWindowHook() {
    if (!Hooked)
        return;
    Hooked = false;
    Owner->removeEventFilter(this);
    for (QMenu* m : Owner->findChildren<QMenu*>())
        m->removeEventFilter(this);
}

void TDDDD::EnterMenuLoop() {
    if (ModeFullScreen && !Owner->isFullScreen())
        Owner->setGeometry(0, 0, vcl::Screen().Width(), vcl::Screen().Height());
    if (DirectDraw2)
        DirectDraw2->FlipToGDISurface();
    Owner->update();
    if (OnEnterMenuLoop)
        OnEnterMenuLoop(this);
}

bool TDDDD::eventFilter(QObject* Watched, QEvent* Event) {
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
        if (ModeFullScreen && static_cast<QMoveEvent*>(Event)->pos() != QPoint(0, 0) &&
            !Owner->isFullScreen())
            Owner->move(0, 0);
        break;
    case QEvent::WindowStateChange:
        if (ModeFullScreen && Owner->isMaximized()) {
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
