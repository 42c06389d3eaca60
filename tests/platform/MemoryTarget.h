#pragma once
// A render target in plain memory, for drawing tests without a display.

#include "platform/d3drm/D3DRM.h"
#include "platform/d3drm/RMDevice.h"
#include "platform/d3drm/RenderTarget.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TMemoryTarget {
    int Width = 64, Height = 64, BitCount = 32, DepthBits = 16;
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint8_t> Depth;
    std::uint8_t Palette[1024] = {};
    int Locks = 0;

    TMemoryTarget(int W = 64, int H = 64, int Bits = 32, int ZBits = 16)
        : Width(W), Height(H), BitCount(Bits), DepthBits(ZBits),
          Pixels(std::size_t(W) * H * ((Bits + 7) / 8), 0xCD),
          Depth(std::size_t(W) * H * (ZBits == 16 ? 2 : 4), 0) {}

    TRenderTarget Describe() {
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
        t.DepthPitch = Width * (DepthBits == 16 ? 2 : 4);
        return t;
    }

    // 0x00RRGGBB of pixel (X, Y), whatever the format.
    std::uint32_t At(int X, int Y) const {
        const int bytes = (BitCount + 7) / 8;
        const std::uint8_t* p = Pixels.data() + (std::size_t(Y) * Width + X) * bytes;
        if (BitCount == 8) {
            const std::uint8_t* e = Palette + p[0] * 4;
            return (std::uint32_t(e[0]) << 16) | (e[1] << 8) | e[2];
        }
        if (BitCount == 16) {
            const unsigned v = p[0] | (p[1] << 8);
            const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
                   ((b << 3) | (b >> 2));
        }
        return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
    }

    // A source the RM device locks; the memory stays with this object, which must outlive it.
    std::unique_ptr<TRenderTargetSource> Source() {
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
};
