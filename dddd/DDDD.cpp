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

std::string Format(const char* Pattern, int A, int B = 0, int C = 0) {
    char text[160];
    std::snprintf(text, sizeof text, Pattern, A, B, C);
    return text;
}

std::string DriverLine(const char* Description, const char* Name) {
    return std::string(Description ? Description : "") + " (" + (Name ? Name : "") + ")";
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
    if (FitFrameToView && !FModeFullScreen && View()) {
        if (VsyncAtWindowed)
            FDirectDraw2->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        View()->ShowSurface(back);
        return;
    }
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
