#pragma once
// A DirectDraw object of the emulated driver. Its three interfaces (IDirectDraw, IDirectDraw2,
// IDirect3D2) keep their own reference counts, as the platform's do; the object lives while
// any of them is held or a device made on it lives, and its surfaces go with it.

#include "DDrawFamily.h"
#include "platform/ddraw/D3D.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class TSurface;

class TDirectDraw {
public:
    TDirectDraw();
    ~TDirectDraw();
    TDirectDraw(const TDirectDraw&) = delete;
    TDirectDraw& operator=(const TDirectDraw&) = delete;

    // One interface of the object, with its own count (none until it is handed out).
    template <class I> struct TFace : TComObject<I> {
        TDirectDraw& Object;
        TFace(TDirectDraw& O, const char* Name)
            : TComObject<I>(kDDrawFamily, Name, {}, 0), Object(O) {}
        IUnknown* Answer(REFIID Riid) override { return Object.Face(Riid); }
        void LastReleased() override { Object.DieIfUnused(); }
    };
    struct TFirst final : TFace<IDirectDraw> {
        explicit TFirst(TDirectDraw& O) : TFace(O, "IDirectDraw") {}
        HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;
    };
    struct TSecond final : TFace<IDirectDraw2> {
        explicit TSecond(TDirectDraw& O) : TFace(O, "IDirectDraw2") {}
        HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper,
                              IUnknown* pUnkOuter) override;
        HRESULT CreatePalette(DWORD dwFlags, LPPALETTEENTRY lpColorTable,
                              LPDIRECTDRAWPALETTE* lplpDDPalette, IUnknown* pUnkOuter) override;
        HRESULT CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface,
                              IUnknown* pUnkOuter) override;
        HRESULT EnumDisplayModes(DWORD dwFlags, LPDDSURFACEDESC lpDDSurfaceDesc, LPVOID lpContext,
                                 LPDDENUMMODESCALLBACK lpEnumCallback) override;
        HRESULT FlipToGDISurface() override;
        HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;
        HRESULT RestoreDisplayMode() override;
        HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
        HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate,
                               DWORD dwFlags) override;
        HRESULT WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) override;
    };
    struct TThird final : TFace<IDirect3D2> {
        explicit TThird(TDirectDraw& O) : TFace(O, "IDirect3D2") {}
        HRESULT CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS,
                             LPDIRECT3DDEVICE2* lplpD3DDevice) override;
    };

    TFirst First{*this};
    TSecond Second{*this};
    TThird Third{*this};

    // A device made on the object keeps it alive.
    void Hold() { ++Held; }
    void Unhold();

    // The interface Riid names, not yet referenced; nullptr when the object has none.
    IUnknown* Face(REFIID Riid);
    HRESULT GetCaps(const char* Call, LPDDCAPS Hardware, LPDDCAPS Emulation);
    void Forget(TSurface* Surface);

    std::vector<TSurface*> Surfaces;
    DWORD Level = 0;
    QPointer<QWidget> Window;
    bool ModeSetHere = false;

private:
    void DieIfUnused();
    void LeaveExclusive();

    int Held = 0;
};
