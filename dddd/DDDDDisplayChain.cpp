// Building and tearing down the display chain: the DirectDraw object, the primary and back
// surfaces, the palette, and with 3D the Z buffer, the devices and the viewport.
#include "dddd/DDDD.h"

#include "DdddDebug.h"
#include "platform/com/ComRef.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Gdi.h"

#include <string>

namespace dddd {

namespace {

constexpr DWORD kFullScreenLevel =
    DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_ALLOWMODEX;
constexpr D3DVALUE kBackPlane = 5000.0f;

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
                "画面モード" + std::to_string(Width) + "x" + std::to_string(Height) + "x" +
                    std::to_string(BitCount) + "の初期化に失敗しました");
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

} // namespace dddd
