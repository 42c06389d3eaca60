#include "platform/d3drm/MemoryTarget.h"

namespace {

int DepthBytes(int DepthBits) {
    return DepthBits == 16 ? 2 : 4;
}

} // namespace

TMemoryTarget::TMemoryTarget(int W, int H, int Bits, int ZBits)
    : Width(W), Height(H), BitCount(Bits), DepthBits(ZBits),
      Pixels(std::size_t(W) * H * ((Bits + 7) / 8), 0xCD),
      Depth(std::size_t(W) * H * DepthBytes(ZBits), 0) {}

TRenderTarget TMemoryTarget::Describe() {
    TRenderTarget t;
    t.Pixels = Pixels.data();
    t.Width = Width;
    t.Height = Height;
    t.BitCount = BitCount;
    t.Pitch = Width * ((BitCount + 7) / 8);
    if (BitCount == 16) {
        t.RedMask = 0xF800;
        t.GreenMask = 0x07E0;
        t.BlueMask = 0x001F;
    } else if (BitCount > 16) {
        t.RedMask = 0xFF0000;
        t.GreenMask = 0x00FF00;
        t.BlueMask = 0x0000FF;
    }
    t.Palette = Palette;
    t.Depth = Depth.data();
    t.DepthBits = DepthBits;
    t.DepthPitch = Width * DepthBytes(DepthBits);
    return t;
}

std::uint32_t TMemoryTarget::At(int X, int Y) const {
    const int bytes = (BitCount + 7) / 8;
    const std::uint8_t* p = Pixels.data() + (std::size_t(Y) * Width + X) * bytes;
    if (BitCount == 8) {
        const std::uint8_t* e = Palette + p[0] * 4;
        return (std::uint32_t(e[0]) << 16) | (e[1] << 8) | e[2];
    }
    if (BitCount == 16) {
        const unsigned v = p[0] | (p[1] << 8);
        const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
}

std::uint32_t TMemoryTarget::DepthAt(int X, int Y) const {
    const int bytes = DepthBytes(DepthBits);
    const std::uint8_t* p = Depth.data() + (std::size_t(Y) * Width + X) * bytes;
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

std::unique_ptr<TRenderTargetSource> TMemoryTarget::Source() {
    struct TSource : TRenderTargetSource {
        TMemoryTarget* Owner;
        explicit TSource(TMemoryTarget* O) : Owner(O) {}
        HRESULT Lock(TRenderTarget& T) override {
            ++Owner->Locks;
            T = Owner->Describe();
            return S_OK;
        }
        void Unlock() override {}
    };
    return std::make_unique<TSource>(this);
}
