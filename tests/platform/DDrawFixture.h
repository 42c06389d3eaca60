#pragma once
// A fixed emulated desktop and a clean failure plan for every test of the display stand-in,
// and the component's way of building a device chain.

#include "platform/ddraw/D3D.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/vcl/Screen.h"

#include <gtest/gtest.h>

class DDrawTest : public ::testing::Test {
protected:
    // 1024 x 768 at 16 bits, no refresh rate told (vertical blanks return at once).
    void SetUp() override {
        DDrawFailures().Clear();
        DDrawSetHardware3D(false);
        vcl::Screen().SetDesktop(1024, 768, 16, 0);
        vcl::Screen().ResetSystemPalette();
        Before = DDrawCensus();
    }
    void TearDown() override {
        DDrawFailures().Clear();
        EXPECT_EQ(DDrawCensus(), Before) << "the test left objects of the stand-in alive";
        vcl::Screen().SetDesktop(0, 0, 0);
    }

    static DDSURFACEDESC Desc(DWORD Flags, DWORD Caps, DWORD Width = 0, DWORD Height = 0) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = Flags;
        d.ddsCaps.dwCaps = Caps;
        d.dwWidth = Width;
        d.dwHeight = Height;
        return d;
    }

    static IDirectDrawSurface* Offscreen(IDirectDraw2* DD, DWORD Width, DWORD Height, int Bits,
                                         DWORD Caps = DDSCAPS_OFFSCREENPLAIN |
                                                      DDSCAPS_SYSTEMMEMORY) {
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, Caps, Width, Height);
        if (Bits) {
            d.dwFlags |= DDSD_PIXELFORMAT;
            d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
            d.ddpfPixelFormat.dwFlags = DDPF_RGB | (Bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
            d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(Bits);
            if (Bits == 16) {
                d.ddpfPixelFormat.dwRBitMask = 0xF800;
                d.ddpfPixelFormat.dwGBitMask = 0x07E0;
                d.ddpfPixelFormat.dwBBitMask = 0x001F;
            } else if (Bits > 16) {
                d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
                d.ddpfPixelFormat.dwGBitMask = 0x00FF00;
                d.ddpfPixelFormat.dwBBitMask = 0x0000FF;
            }
        }
        IDirectDrawSurface* s = nullptr;
        EXPECT_EQ(DD->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    TDDrawCensus Before;
};

// A DirectDraw object with its second interface, released in the component's order.
struct TDDPair {
    IDirectDraw* DD = nullptr;
    IDirectDraw2* DD2 = nullptr;
    TDDPair() {
        EXPECT_EQ(DirectDrawCreate(nullptr, &DD, nullptr), DD_OK);
        EXPECT_EQ(DD->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&DD2)), DD_OK);
    }
    ~TDDPair() {
        if (DD2)
            DD2->Release();
        if (DD)
            DD->Release();
    }
    TDDPair(const TDDPair&) = delete;
    TDDPair& operator=(const TDDPair&) = delete;
};
