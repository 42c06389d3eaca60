#pragma once
// The display component: turns the form it is placed on into a DirectDraw display, optionally
// with a retained-mode 3D device chain on its back buffer, and presents the back buffer in the
// form's client area (scaled) or by page flipping in a full-screen mode. It takes over the
// form's creation and paint events and watches its window; every failed platform call ends the
// program through ReportError with a line in "dddd.debug".

#include "dddd/DDDDGenSurface.h"
#include "dddd/DDDDRegistry.h"
#include "platform/d3drm/D3DRM.h"
#include "platform/ddraw/D3D.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class QEvent;
class QObject;
class TScreenView;
namespace vcl {
class TForm;
}

namespace dddd {

enum TD3DOption : std::uint8_t { DontUseRGBEmulation = 0, DontUseHAL = 1, DontUseMMX = 2 };

// A set of TD3DOption, stored as one byte (bit n for option n).
class TD3DOptions {
public:
    constexpr TD3DOptions() = default;
    constexpr TD3DOptions(std::initializer_list<TD3DOption> Options) {
        for (TD3DOption o : Options)
            Bits |= static_cast<std::uint8_t>(1u << o);
    }
    constexpr bool Contains(TD3DOption O) const { return (Bits >> O) & 1u; }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr std::uint8_t Byte() const { return Bits; }
    friend constexpr bool operator==(TD3DOptions, TD3DOptions) = default;

private:
    std::uint8_t Bits = 0;
};

enum class TDDDDDispMode : std::uint8_t {
    dmWin640x480x8,
    dmWin800x600x8,
    dmWin1024x768x8,
    dmWin640x480x16,
    dmWin800x600x16,
    dmWin1024x768x16,
    dmWin640x480x24,
    dmWin800x600x24,
    dmWin1024x768x24,
    dmFull640x480x8,
    dmFull800x600x8,
    dmFull1024x768x8,
    dmFull640x480x16,
    dmFull800x600x16,
    dmFull1024x768x16,
    dmFull640x480x24,
    dmFull800x600x24,
    dmFull1024x768x24,
    dmWinVariable,
};

// A mode's back-buffer size, depth and presentation; dmWinVariable has 0s (taken at run time).
struct TDispModeInfo {
    int Width, Height, BitCount;
    bool FullScreen;
};
TDispModeInfo DispModeInfo(TDDDDDispMode Mode);

class TDDDD;
using TDDDDNotifyEvent = std::function<void(TDDDD* Sender)>;
// Sender is the form; fNeedChange says the display still is the provisional one.
using TDDDDInitEvent = std::function<void(vcl::TForm* Sender, bool fNeedChange)>;

class TDDDD {
public:
    // Takes over Owner's creation and paint events and makes a screen view its client area.
    explicit TDDDD(vcl::TForm* Owner);
    virtual ~TDDDD();
    TDDDD(const TDDDD&) = delete;
    TDDDD& operator=(const TDDDD&) = delete;

    // After the form description's properties are set: applies DisableScreenSaver again.
    void Loaded();

    // Reading at run time writes "ScreenModeプロパティは読み込み禁止です" to the debug log.
    TDDDDDispMode DisplayMode();
    // Stores the mode; after start-up rebuilds the display at once.
    void SetDisplayMode(TDDDDDispMode Value);
    bool DisableScreenSaver() const { return FDisableScreenSaver; }
    // Switches the system-wide screen saver off (True) or on (False) at once.
    void SetDisableScreenSaver(bool Value);

    std::int32_t BackColor = 0;
    bool AutoDisplayModeInitialize = true;
    bool Use3D = false;
    TD3DOptions D3DOptions{};
    bool VsyncAtWindowed = true;
    bool AllowRakugaki = false;
    // Windowed: Flip hands the back buffer to the view, which shows it at its own shape in the
    // window's device pixels with black bars (scaled as the view's FrameScaling says), instead
    // of blitting it stretched over the client area of the desktop.
    bool FitFrameToView = false;

    TDDDDInitEvent OnInit;
    TDDDDNotifyEvent OnRestore;
    TDDDDNotifyEvent OnChangeDisplayMode;
    TDDDDNotifyEvent OnCleanUp;
    TDDDDNotifyEvent OnEnterMenuLoop;
    TDDDDNotifyEvent OnExitMenuLoop;
    TDDDDNotifyEvent OnDestroy;

    // Builds the whole chain anew (releasing the old one first).
    void InitDisplay(bool FullScreen, int Width, int Height, int BitCount, int RefreshRate,
                     const std::string& DriverName);
    // Releases the chain; a reference left behind on a counted release ends the program.
    void ReleaseDisplay();
    // Clears the viewport, renders Scene (may be nullptr) and completes the frame.
    void Render(IDirect3DRMFrame* Scene);
    // Presents the back buffer: a flip in full-screen, else a blit into the client area (or the
    // hand-over to the view, with FitFrameToView).
    void Flip();
    // Makes Camera the viewport's camera, creating the viewport (back plane at 5000) at first.
    void SetCamera(IDirect3DRMFrame* Camera);
    void RestoreSurfaces();
    // 8-bit modes: puts PaletteEntries on the display.
    void UpdatePalette();
    int ScreenBitCount();
    // 0 for an argument matches anything.
    bool ModeAvailable(int Width, int Height, int BitCount, int RefreshRate);

    // The form's events as taken over.
    void FormCreateHook(vcl::TForm* Sender);
    void FormPaintHook(vcl::TForm* Sender);

    // The set-up of the last build, as requested.
    int ModeBitCount() const { return FModeBitCount; }
    bool ModeFullScreen() const { return FModeFullScreen; }
    int ModeWidth() const { return FModeWidth; }
    int ModeHeight() const { return FModeHeight; }
    int ModeRefreshRate() const { return FModeRefreshRate; }

    bool NotStarted() const { return FNotStarted; }
    bool Started() const { return FStarted; }
    // A build or release is under way: repaints restore nothing.
    bool Busy() const { return FBusy; }

    // The device chain; each is nullptr while it is not built.
    TDDDDGenSurface* PrimarySurface() const { return FPrimarySurface.get(); }
    TDDDDGenSurface* BackSurface() const { return FBackSurface.get(); }
    TDDDDGenSurface* ZSurface() const { return FZSurface.get(); }
    IDirectDraw* DirectDraw() const { return FDirectDraw; }
    IDirectDraw2* DirectDraw2() const { return FDirectDraw2; }
    // The scene makes all its objects through this one.
    IDirect3DRM2* D3DRM() const { return FD3DRM; }
    IDirect3DRMDevice2* D3DRMDevice() const { return FD3DRMDevice; }
    IDirect3DDevice2* D3DDevice() const { return FD3DDevice; }
    IDirect3DRMViewport* Viewport() const { return FViewport; }
    IDirect3DRMFrame* Camera() const { return FCamera; }
    // 1 hardware, 2 MMX emulation, 3 RGB emulation, 4 ramp emulation.
    std::uint8_t DeviceKind() const { return FDeviceKind; }
    bool Hardware3D() const { return FHardware3D; }
    bool ZInVideoMemory() const { return FZInVideoMemory; }
    const std::vector<std::string>& DriverNames() const { return FDriverNames; }

    // The back buffer's channels: Shift is the lowest bit, Loss 8 minus the channel's bits.
    int RedLoss() const { return FRedLoss; }
    int RedShift() const { return FRedShift; }
    int GreenLoss() const { return FGreenLoss; }
    int GreenShift() const { return FGreenShift; }
    int BlueLoss() const { return FBlueLoss; }
    int BlueShift() const { return FBlueShift; }
    DWORD RedMask() const { return FRedMask; }
    DWORD GreenMask() const { return FGreenMask; }
    DWORD BlueMask() const { return FBlueMask; }

    // Surfaces and textures kept across rebuilds and restores; add them here to have them kept.
    TDDDDRegistry& Registry() { return FRegistry; }
    // The form's client area, where the screen shows; nullptr once the form has dropped it.
    TScreenView* View() const;

protected:
    vcl::TForm* Owner;

private:
    // Carries the window hook into the window framework, which this class stays out of.
    class TWindowHook;

    // The window hook: watches the owner's moves, sizes, menus and activation, and always lets
    // the event go on.
    bool WindowEvent(QObject* Watched, QEvent* Event);

    IDirectDraw* FindDriver(const std::string& DriverName);
    IDirectDraw* Find3DDriver();
    IDirectDraw* CreatePrimaryDriver();
    void CreateFullScreenSurfaces(int Width, int Height, int BitCount, int RefreshRate,
                                  IDirectDrawSurface*& Primary, IDirectDrawSurface*& Back);
    void CreateWindowedSurfaces(int Width, int Height, IDirectDrawSurface*& Primary,
                                IDirectDrawSurface*& Back);
    void FillPaletteEntries(bool FullScreen);
    void Build3D(int Width, int Height, IDirectDrawSurface* Back);
    void ReadChannelShifts();
    void InstallWindowHook();
    void RemoveWindowHook();
    void EnterMenuLoop();

    TDDDDDispMode FDisplayMode = TDDDDDispMode::dmWin640x480x8;
    bool FDisableScreenSaver = true;
    std::function<void(vcl::TForm*)> SavedOnPaint, SavedOnCreate;
    bool Hooked = false;
    int OpenMenus = 0;

    int FModeBitCount = 0;
    bool FModeFullScreen = false;
    int FModeWidth = 0, FModeHeight = 0;
    int FModeRefreshRate = 0;

    bool FNotStarted = true, FDestroying = false, FStarted = false, FBusy = false;
    BOOL FSavedScreenSaver = TRUE;

    std::unique_ptr<TDDDDGenSurface> FPrimarySurface, FBackSurface, FZSurface;
    IDirectDraw2* FDirectDraw2 = nullptr;
    IDirectDraw* FDirectDraw = nullptr;
    IDirectDrawClipper* FClipper = nullptr;
    std::vector<std::string> FDriverNames;
    IDirect3DRM2* FD3DRM = nullptr;
    IDirect3DRMDevice2* FD3DRMDevice = nullptr;
    IDirect3D2* FDirect3D = nullptr;
    IDirect3DDevice2* FD3DDevice = nullptr;
    std::uint8_t FDeviceKind = 0;
    IDirect3DRMViewport* FViewport = nullptr;
    IDirect3DRMFrame* FCamera = nullptr;
    bool FHardware3D = false;
    bool FZInVideoMemory = false;
    int FRedLoss = 0, FRedShift = 0, FGreenLoss = 0, FGreenShift = 0, FBlueLoss = 0, FBlueShift = 0;
    DWORD FRedMask = 0, FGreenMask = 0, FBlueMask = 0;
    std::array<PALETTEENTRY, 256> FPaletteEntries{};
    IDirectDrawPalette* FPalette = nullptr;
    TDDDDRegistry FRegistry;

    HWND FWindowHandle = nullptr;
    std::unique_ptr<TWindowHook> Hook;
};

} // namespace dddd
