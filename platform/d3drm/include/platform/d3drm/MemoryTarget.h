#pragma once
// A render target in plain memory: pictures drawn without a display, for the icon, the
// benchmarks and the drawing tests.

#include "platform/d3drm/RenderTarget.h"

#include <cstdint>
#include <memory>
#include <vector>

struct TMemoryTarget {
    int Width = 64, Height = 64, BitCount = 32, DepthBits = 16;
    // Pixels start as 0xCD bytes, a colour nothing draws by chance, so one left unwritten shows.
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint8_t> Depth;
    std::uint8_t Palette[1024] = {};
    // How often a device has locked it.
    int Locks = 0;

    TMemoryTarget(int W = 64, int H = 64, int Bits = 32, int ZBits = 16);

    TRenderTarget Describe();
    // 0x00RRGGBB of pixel (X, Y), whatever the format.
    std::uint32_t At(int X, int Y) const;
    // The depth stored at (X, Y); all ones where nothing was drawn since a clear.
    std::uint32_t DepthAt(int X, int Y) const;
    // A source the RM device locks; the memory stays with this object, which must outlive it.
    std::unique_ptr<TRenderTargetSource> Source();
};
