#pragma once
// A DirectDraw object of the emulated driver. Its three interfaces (IDirectDraw, IDirectDraw2,
// IDirect3D2) keep their own reference counts, as the platform's do; the object lives while
// any of them is held or a device made on it lives, and its surfaces go with it.

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

    struct TFirst final : IDirectDraw {
        TDirectDraw& Object;
        ULONG Count = 0;
        explicit TFirst(TDirectDraw& O) : Object(O) {}
        HRESULT QueryInterface(REFIID Riid, void** Out) override;
        ULONG AddRef() override;
        ULONG Release() override;
        HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;
    };
    struct TSecond final : IDirectDraw2 {
        TDirectDraw& Object;
        ULONG Count = 0;
        explicit TSecond(TDirectDraw& O) : Object(O) {}
        HRESULT QueryInterface(REFIID Riid, void** Out) override;
        ULONG AddRef() override;
        ULONG Release() override;
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
    struct TThird final : IDirect3D2 {
        TDirectDraw& Object;
        ULONG Count = 0;
        explicit TThird(TDirectDraw& O) : Object(O) {}
        HRESULT QueryInterface(REFIID Riid, void** Out) override;
        ULONG AddRef() override;
        ULONG Release() override;
        HRESULT CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS,
                             LPDIRECT3DDEVICE2* lplpD3DDevice) override;
    };

    TFirst First{*this};
    TSecond Second{*this};
    TThird Third{*this};

    // A device made on the object keeps it alive.
    void Hold() { ++Held; }
    void Unhold();

    HRESULT QueryInterface(const char* Call, REFIID Riid, void** Out);
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
