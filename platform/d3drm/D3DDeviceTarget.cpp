#include "D3DDeviceTarget.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"

namespace {

// Looked up again at every lock: the display may have restored or re-attached the surfaces
// since the last frame.
class TD3DDeviceTarget final : public TRenderTargetSource {
public:
    explicit TD3DDeviceTarget(IDirect3DDevice2* Device) : Device(Device) {}

    HRESULT Lock(TRenderTarget& Target) override {
        IDirectDrawSurface* surface = D3DDeviceRenderTarget(Device);
        TSurfaceBits colour;
        if (!surface || !DDrawSurfaceBits(surface, colour))
            return DDERR_SURFACELOST;
        if (!colour.Bits)
            return DDERR_SURFACELOST;
        Target = TRenderTarget{};
        Target.Pixels = colour.Bits;
        Target.Pitch = colour.Pitch;
        Target.Width = int(colour.Width);
        Target.Height = int(colour.Height);
        Target.BitCount = int(colour.BytesPerPixel * 8);
        Target.RedMask = colour.Format.dwRBitMask;
        Target.GreenMask = colour.Format.dwGBitMask;
        Target.BlueMask = colour.Format.dwBBitMask;
        Target.Palette = reinterpret_cast<const BYTE*>(DDrawSurfacePalette(surface));
        TSurfaceBits depth;
        IDirectDrawSurface* z = DDrawAttachedZBuffer(surface);
        // A Z-buffer smaller than the picture, or lost, is no use; the viewport then keeps
        // its own.
        if (z && DDrawSurfaceBits(z, depth) && depth.Bits && depth.Width >= colour.Width &&
            depth.Height >= colour.Height &&
            (depth.BytesPerPixel == 2 || depth.BytesPerPixel == 4)) {
            Target.Depth = depth.Bits;
            Target.DepthPitch = depth.Pitch;
            Target.DepthBits = depth.BytesPerPixel == 2 ? 16 : 32;
        }
        Surface = surface;
        return S_OK;
    }

    void Unlock() override {
        if (Surface)
            DDrawSurfaceChanged(Surface);
        Surface = nullptr;
    }

private:
    IDirect3DDevice2* Device; // the RM device holds the reference
    IDirectDrawSurface* Surface = nullptr;
};

} // namespace

std::unique_ptr<TRenderTargetSource> MakeD3DDeviceTarget(IDirect3DDevice2* Device) {
    if (!Device || !D3DDeviceRenderTarget(Device))
        return nullptr;
    return std::make_unique<TD3DDeviceTarget>(Device);
}
