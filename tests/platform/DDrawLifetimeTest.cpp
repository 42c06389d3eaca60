// Surfaces held past their DirectDraw object: they lose their memory with it but stay safe to
// use and to release until their last reference goes.
#include "tests/platform/DDrawFixture.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"

#include <QMainWindow>

#include <array>

namespace {

void ReleaseObject(TDDPair& Pair) {
    EXPECT_EQ(Pair.DD2->Release(), 0u);
    Pair.DD2 = nullptr;
    EXPECT_EQ(Pair.DD->Release(), 0u);
    Pair.DD = nullptr;
}

// Every call a holder may still make on a surface whose object is gone fails as lost.
void ExpectLostForGood(IDirectDrawSurface* S) {
    EXPECT_EQ(S->IsLost(), DDERR_SURFACELOST);
    EXPECT_NE(S->Restore(), DD_OK);
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    EXPECT_EQ(S->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_NE(S->GetDC(&dc), DD_OK);
    TSurfaceBits bits;
    EXPECT_TRUE(!DDrawSurfaceBits(S, bits) || bits.Bits == nullptr);
    DDCOLORKEY key{1, 1};
    S->SetColorKey(DDCKEY_SRCBLT, &key);
    d.dwSize = sizeof d;
    EXPECT_EQ(S->GetSurfaceDesc(&d), DD_OK);
}

} // namespace

TEST_F(DDrawTest, HeldSurfacesOutliveTheirObjectLostAndCountOnToTheirLastRelease) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* plain = Offscreen(dd.DD2, 16, 8, 8);
    IDirectDrawSurface* texture = Offscreen(dd.DD2, 16, 8, 16, DDSCAPS_TEXTURE);
    IDirectDrawSurface* dropped = Offscreen(dd.DD2, 16, 8, 16);
    std::array<PALETTEENTRY, 256> entries{};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr), DD_OK);
    ASSERT_EQ(plain->SetPalette(palette), DD_OK);
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd.DD2->CreateClipper(0, &clipper, nullptr), DD_OK);
    ASSERT_EQ(plain->SetClipper(clipper), DD_OK);
    EXPECT_EQ(plain->AddRef(), 2u);
    IDirect3DTexture2* handle = nullptr;
    ASSERT_EQ(texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&handle)),
              DD_OK);

    ReleaseObject(dd);
    // Nobody held the third: it went with its object. The others count as no surface of the
    // driver any more, and what they held is given back.
    EXPECT_EQ(DDrawCensus().Surfaces, Before.Surfaces);
    EXPECT_EQ(DDrawCensus().DirectDraws, Before.DirectDraws);
    EXPECT_EQ(palette->Release(), 0u);
    EXPECT_EQ(clipper->Release(), 0u);
    for (IDirectDrawSurface* s : {plain, texture})
        ExpectLostForGood(s);
    D3DTEXTUREHANDLE h = 0;
    EXPECT_NE(handle->GetHandle(nullptr, &h), DD_OK);

    EXPECT_EQ(plain->Release(), 1u);
    EXPECT_EQ(plain->Release(), 0u);
    EXPECT_EQ(handle->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
    (void)dropped;
}

TEST_F(DDrawTest, AFullScreenChainHeldPastItsObjectReleasesInAnyOrder) {
    QMainWindow window;
    window.show();
    for (const bool frontFirst : {true, false}) {
        TDDPair dd;
        ASSERT_EQ(dd.DD2->SetCooperativeLevel(&window, 0x53), DD_OK);
        DDSURFACEDESC d =
            Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                 DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
        d.dwBackBufferCount = 1;
        IDirectDrawSurface* front = nullptr;
        ASSERT_EQ(dd.DD2->CreateSurface(&d, &front, nullptr), DD_OK);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        IDirectDrawSurface* back = nullptr;
        ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
        DDSURFACEDESC zd = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH,
                                DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 1024, 768);
        zd.dwZBufferBitDepth = 16;
        IDirectDrawSurface* z = nullptr;
        ASSERT_EQ(dd.DD2->CreateSurface(&zd, &z, nullptr), DD_OK);
        ASSERT_EQ(back->AddAttachedSurface(z), DD_OK);
        ReleaseObject(dd);
        EXPECT_NE(back->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        EXPECT_NE(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
        IDirectDrawSurface* none = nullptr;
        EXPECT_EQ(front->GetAttachedSurface(&caps, &none), DDERR_NOTFOUND);
        // The chain let go of its attachments: each holder's count is its own.
        if (frontFirst) {
            EXPECT_EQ(front->Release(), 0u);
            EXPECT_EQ(back->Release(), 0u);
            EXPECT_EQ(z->Release(), 0u);
        } else {
            EXPECT_EQ(z->Release(), 0u);
            EXPECT_EQ(back->Release(), 0u);
            EXPECT_EQ(front->Release(), 0u);
        }
        EXPECT_EQ(DDrawCensus(), Before);
    }
}
