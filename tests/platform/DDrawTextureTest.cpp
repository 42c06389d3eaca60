#include "tests/platform/DDrawFixture.h"

#include <vector>

namespace {

HRESULT Collect(LPDDSURFACEDESC Desc, LPVOID Context) {
    static_cast<std::vector<DDPIXELFORMAT>*>(Context)->push_back(Desc->ddpfPixelFormat);
    return D3DENUMRET_OK;
}

HRESULT TakeFirst(LPDDSURFACEDESC Desc, LPVOID Context) {
    static_cast<std::vector<DDPIXELFORMAT>*>(Context)->push_back(Desc->ddpfPixelFormat);
    return D3DENUMRET_CANCEL;
}

IDirect3DTexture2* TextureOf(IDirectDrawSurface* Surface) {
    IDirect3DTexture2* t = nullptr;
    EXPECT_EQ(Surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)), DD_OK);
    return t;
}

} // namespace

using DDrawTextureTest = DDrawTest;

TEST_F(DDrawTextureTest, DevicesOfferEveryFormatTheDriverMakesTexturesOf) {
    TDDPair dd;
    ASSERT_EQ(dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface* back = Offscreen(
        dd.DD2, 64, 64, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE);
    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(dd.DD2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), DD_OK);
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, back, &device), DD_OK);

    std::vector<DDPIXELFORMAT> formats;
    ASSERT_EQ(device->EnumTextureFormats(Collect, &formats), DD_OK);
    ASSERT_EQ(formats.size(), 4u);
    for (const DDPIXELFORMAT& f : formats) {
        SCOPED_TRACE(f.dwRGBBitCount);
        EXPECT_EQ(f.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA), 0u);
        IDirectDrawSurface* s = nullptr;
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                               DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD, 8, 8);
        d.ddpfPixelFormat = f;
        ASSERT_EQ(dd.DD2->CreateSurface(&d, &s, nullptr), DD_OK);
        IDirect3DTexture2* t = TextureOf(s);
        D3DTEXTUREHANDLE h = 0;
        EXPECT_EQ(t->GetHandle(device, &h), DD_OK);
        EXPECT_NE(h, 0u);
        t->Release();
        s->Release();
    }
    formats.clear();
    ASSERT_EQ(device->EnumTextureFormats(TakeFirst, &formats), DD_OK);
    EXPECT_EQ(formats.size(), 1u);

    DDrawFailures().Fail("IDirect3DDevice2::EnumTextureFormats", DDERR_GENERIC);
    EXPECT_EQ(device->EnumTextureFormats(Collect, &formats), DDERR_GENERIC);
    device->Release();
    d3d->Release();
    back->Release();
}

TEST_F(DDrawTextureTest, LoadCopiesASystemMemoryTextureIntoItsDeviceTwin) {
    TDDPair dd;
    ASSERT_EQ(dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface* work = Offscreen(dd.DD2, 4, 2, 16, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* device =
        Offscreen(dd.DD2, 4, 2, 16, DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD);
    IDirectDrawSurface* other = Offscreen(dd.DD2, 2, 2, 16, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* plain = Offscreen(dd.DD2, 4, 2, 16);

    DDSURFACEDESC d = Desc(0, 0);
    ASSERT_EQ(work->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<WORD*>(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch)[x] =
                static_cast<WORD>(0x1111 * (x + 4 * y));
    work->Unlock(nullptr);

    IDirect3DTexture2* to = TextureOf(device);
    IDirect3DTexture2* from = TextureOf(work);
    IDirect3DTexture2* wrongSize = TextureOf(other);
    void* none = nullptr;
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3DTexture2, &none), E_NOINTERFACE);

    EXPECT_EQ(to->Load(wrongSize), DDERR_INVALIDPARAMS);
    DDrawFailures().Fail("IDirect3DTexture2::Load", DDERR_SURFACEBUSY);
    EXPECT_EQ(to->Load(from), DDERR_SURFACEBUSY);
    ASSERT_EQ(to->Load(from), DD_OK);
    d = Desc(0, 0);
    ASSERT_EQ(device->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(reinterpret_cast<WORD*>(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch)[x],
                      0x1111 * (x + 4 * y));
    device->Unlock(nullptr);

    DDrawLoseSurface(device);
    EXPECT_EQ(to->Load(from), DDERR_SURFACELOST);
    from->Release();
    to->Release();
    wrongSize->Release();
    for (IDirectDrawSurface* s : {work, device, other, plain})
        s->Release();
}
