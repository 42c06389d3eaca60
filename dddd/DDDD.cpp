#include "dddd/DDDD.h"

#include "platform/d3drm/RMDevice.h"

#include <memory>
#include <vector>

namespace dddd {

namespace {

// The back buffer and Z-buffer until the DirectDraw chain draws them: 5-6-5 and 16-bit depth.
class TMemoryBackBuffer final : public TRenderTargetSource {
public:
    TMemoryBackBuffer(int Width, int Height)
        : Width(Width), Height(Height), Pixels(std::size_t(Width) * Height * 2),
          Depth(std::size_t(Width) * Height * 2) {}
    HRESULT Lock(TRenderTarget& Target) override {
        Target.Pixels = Pixels.data();
        Target.Pitch = Width * 2;
        Target.Width = Width;
        Target.Height = Height;
        Target.BitCount = 16;
        Target.RedMask = 0xF800;
        Target.GreenMask = 0x07E0;
        Target.BlueMask = 0x001F;
        Target.Depth = Depth.data();
        Target.DepthPitch = Width * 2;
        Target.DepthBits = 16;
        return S_OK;
    }
    void Unlock() override {}

private:
    int Width, Height;
    std::vector<BYTE> Pixels, Depth;
};

} // namespace

TDDDD::TDDDD(vcl::TForm* AOwner) : Owner(AOwner) {}

TDDDD::~TDDDD() {
    Release3D();
    ReleaseRef(Camera);
}

void TDDDD::HookFormCreate(std::function<void()> FormCreate) {
    ++FBuildCount;
    Build3D();
    if (FormCreate)
        FormCreate();
}

void TDDDD::InitDisplay(bool, int Width, int Height, int, int, const std::string&) {
    ++FBuildCount;
    Release3D();
    ModeWidth = Width;
    ModeHeight = Height;
    Build3D();
}

void TDDDD::Build3D() {
    if (!Use3D)
        return;
    IDirect3DRM* rm = nullptr;
    if (SUCCEEDED(Direct3DRMCreate(&rm)) && rm) {
        rm->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&D3DRM));
        rm->Release();
    }
    CreateDeviceOnTarget(std::make_unique<TMemoryBackBuffer>(ModeWidth, ModeHeight), &D3DRMDevice);
    // Every rebuild shows the scene through the camera it was given before.
    if (Camera && D3DRM && D3DRMDevice &&
        SUCCEEDED(
            D3DRM->CreateViewport(D3DRMDevice, Camera, 0, 0, ModeWidth, ModeHeight, &Viewport)))
        Viewport->SetBack(5000);
}

void TDDDD::Release3D() {
    ReleaseRef(Viewport);
    ReleaseRef(D3DRMDevice);
    ReleaseRef(D3DRM);
}

void TDDDD::SetCamera(IDirect3DRMFrame* ACamera) {
    if (ACamera)
        ACamera->AddRef();
    ReleaseRef(Camera);
    Camera = ACamera;
    if (Viewport) {
        Viewport->SetCamera(Camera);
    } else if (D3DRM && D3DRMDevice &&
               SUCCEEDED(D3DRM->CreateViewport(D3DRMDevice, Camera, 0, 0, ModeWidth, ModeHeight,
                                               &Viewport))) {
        Viewport->SetBack(5000);
    }
}

void TDDDD::Render(IDirect3DRMFrame* Scene) {
    if (!Viewport || !D3DRMDevice)
        return;
    Viewport->Clear();
    if (Scene)
        Viewport->Render(Scene);
    D3DRMDevice->Update();
}

void TDDDD::Flip() {}

} // namespace dddd
