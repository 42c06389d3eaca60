#pragma once
// The triangle rasterizer behind the viewports: fills projected triangles into a render target
// with a depth test, Gouraud or flat colour and perspective-correct, nearest-texel textures.
// Pixel centres lie at half-integer coordinates; a pixel is drawn when its centre is inside
// the triangle, or on a top or left edge (so triangles sharing an edge draw each pixel once).

#include "platform/d3drm/RenderTarget.h"

#include <cstdint>
#include <vector>

struct TRasterVertex {
    float X = 0, Y = 0;        // pixels, y down
    float Q = 0;               // 1 / distance along the view axis
    float R = 0, G = 0, B = 0; // shading colour, 0..1
    float U = 0, V = 0;        // texture coordinates; v = 0 is the top row
};

struct TRasterTexture {
    const std::uint32_t* Texels = nullptr; // 0x00RRGGBB, top row first
    int Width = 0;
    int Height = 0;
};

struct TRasterRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0; // right and bottom exclusive
};

// The 8-bit target's palette turned into a colour lookup, built once per palette.
class TPaletteLookup {
public:
    // Index of the palette entry nearest to a 5-5-5 colour.
    const std::uint8_t* Update(const BYTE* Palette);

private:
    BYTE Entries[1024] = {};
    std::vector<std::uint8_t> Table;
};

class TRasterizer {
public:
    // Draws within Clip (cut to the target). Q from QFront (the front plane, depth 0) to QBack
    // (the back plane, the farthest depth). Lookup is needed for 8-bit targets.
    TRasterizer(const TRenderTarget& Target, TRasterRect Clip, float QFront, float QBack,
                TPaletteLookup* Lookup);

    // Black and the farthest depth over the clip rectangle.
    void Clear();
    // Either winding. Gouraud interpolates the corners' colours, otherwise corner 0's colour
    // fills the triangle. A texture's texels are multiplied by that colour.
    void DrawTriangle(const TRasterVertex& A, const TRasterVertex& B, const TRasterVertex& C,
                      const TRasterTexture* Texture, bool Gouraud);

    struct TFormat {
        int Bytes = 2; // per pixel
        int RedShift = 0, GreenShift = 0, BlueShift = 0;
        int RedLoss = 0, GreenLoss = 0, BlueLoss = 0; // 8 minus the channel's bits
        const std::uint8_t* Lookup = nullptr;         // 8 bits: 5-5-5 colour to index
    };

private:
    TRenderTarget Target;
    TRasterRect ClipRect;
    TFormat Format;
    float DepthScale = 0; // depth units per unit of (QFront - Q)
    float QFront = 1;
    std::uint32_t DepthMax = 0xFFFF;
};
