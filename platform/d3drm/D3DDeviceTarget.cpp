#include "platform/d3drm/D3DDeviceTarget.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"

namespace {

// The back buffer of a display stand-in device, with the Z-buffer attached to it, reached
// directly in memory (no Lock, so the display's failure plan does not touch rendering).
class TDeviceBackBuffer final : public TRenderTargetSource {
public:
    explicit TDeviceBackBuffer(IDirectDrawSurface* Surface) : Surface(Surface) {}

    HRESULT Lock(TRenderTarget& Target) override {
        TSurfaceBits colour;
        if (!DDrawSurfaceBits(Surface, colour) || !colour.Bits)
            return DDERR_SURFACELOST;
        Target = TRenderTarget{};
        Target.Pixels = colour.Bits;
        Target.Pitch = colour.Pitch;
        Target.Width = static_cast<int>(colour.Width);
        Target.Height = static_cast<int>(colour.Height);
        Target.BitCount = static_cast<int>(colour.Format.dwRGBBitCount);
        Target.RedMask = colour.Format.dwRBitMask;
        Target.GreenMask = colour.Format.dwGBitMask;
        Target.BlueMask = colour.Format.dwBBitMask;
        Target.Palette = reinterpret_cast<const BYTE*>(DDrawSurfacePalette(Surface));
        TSurfaceBits depth;
        if (IDirectDrawSurface* z = DDrawAttachedZBuffer(Surface);
            z && DDrawSurfaceBits(z, depth) && depth.Bits && depth.Width == colour.Width &&
            depth.Height == colour.Height) {
            Target.Depth = depth.Bits;
            Target.DepthPitch = depth.Pitch;
            Target.DepthBits = static_cast<int>(depth.Format.dwZBufferBitDepth);
        }
        return S_OK;
    }

    void Unlock() override { DDrawSurfaceChanged(Surface); }

private:
    IDirectDrawSurface* Surface;
};

} // namespace

std::unique_ptr<TRenderTargetSource> MakeD3DDeviceTarget(IDirect3DDevice2* Device,
                                                         IUnknown*& Holder) {
    Holder = nullptr;
    IDirectDrawSurface* target = D3DDeviceRenderTarget(Device);
    if (!target)
        return nullptr;
    // The device holds its back buffer; the RM device holds the device.
    Holder = Device;
    return std::make_unique<TDeviceBackBuffer>(target);
}
