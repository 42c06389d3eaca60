#include "Rasterizer.h"

#include "RasterSpans.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Shift = the mask's lowest set bit; Loss = 8 minus its run of set bits (at most 8 counted).
void ChannelOf(DWORD Mask, int& Shift, int& Loss) {
    Shift = 0;
    Loss = 8;
    if (!Mask)
        return;
    while (!(Mask & 1)) {
        Mask >>= 1;
        ++Shift;
    }
    int bits = 0;
    while ((Mask & 1) && bits < 8) {
        Mask >>= 1;
        ++bits;
    }
    Loss = 8 - bits;
}

// Vertices land on a 1/16-pixel grid, so edges are computed from exact, shared values.
float Snap(float V) {
    return std::nearbyint(V * 16.0f) * (1.0f / 16.0f);
}

TRasterEdge EdgeFrom(const TRasterVertex& Upper, const TRasterVertex& Lower) {
    TRasterEdge e;
    e.X0 = Upper.X;
    e.Y0 = Upper.Y;
    const double dy = double(Lower.Y) - Upper.Y;
    e.Slope = dy > 0 ? (double(Lower.X) - Upper.X) / dy : 0;
    return e;
}

// The plane through the three corners' values A0, A1, A2.
TRasterPlane PlaneFrom(const TRasterVertex& V0, const TRasterVertex& V1, const TRasterVertex& V2,
                       float A0, float A1, float A2, float InvArea) {
    const float x1 = V1.X - V0.X, y1 = V1.Y - V0.Y;
    const float x2 = V2.X - V0.X, y2 = V2.Y - V0.Y;
    TRasterPlane p;
    p.Dx = ((A1 - A0) * y2 - (A2 - A0) * y1) * InvArea;
    p.Dy = ((A2 - A0) * x1 - (A1 - A0) * x2) * InvArea;
    // Referred to the centre of pixel (0, 0), at (0.5, 0.5).
    p.At00 = A0 + p.Dx * (0.5f - V0.X) + p.Dy * (0.5f - V0.Y);
    return p;
}

} // namespace

const std::uint8_t* TPaletteLookup::Update(const BYTE* Palette) {
    if (!Table.empty() && std::memcmp(Entries, Palette, sizeof Entries) == 0)
        return Table.data();
    std::memcpy(Entries, Palette, sizeof Entries);
    Table.assign(32768, 0);
    for (int c = 0; c < 32768; ++c) {
        // The centre of the 5-5-5 cell, in 8-bit units.
        const int r = ((c >> 10) & 31) * 8 + 4, g = ((c >> 5) & 31) * 8 + 4, b = (c & 31) * 8 + 4;
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < 256; ++i) {
            const int dr = r - Entries[i * 4], dg = g - Entries[i * 4 + 1],
                      db = b - Entries[i * 4 + 2];
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        Table[c] = static_cast<std::uint8_t>(best);
    }
    return Table.data();
}

TRasterizer::TRasterizer(const TRenderTarget& Target, TRasterRect Clip, float QFront, float QBack,
                         TPaletteLookup* Lookup)
    : Target(Target), QFront(QFront) {
    ClipRect.Left = std::max(Clip.Left, 0);
    ClipRect.Top = std::max(Clip.Top, 0);
    ClipRect.Right = std::min(Clip.Right, Target.Width);
    ClipRect.Bottom = std::min(Clip.Bottom, Target.Height);
    Format.Bytes = std::clamp(Target.BitCount / 8, 1, 4);
    ChannelOf(Target.RedMask, Format.RedShift, Format.RedLoss);
    ChannelOf(Target.GreenMask, Format.GreenShift, Format.GreenLoss);
    ChannelOf(Target.BlueMask, Format.BlueShift, Format.BlueLoss);
    if (Format.Bytes == 1) {
        static const BYTE kBlackPalette[1024] = {};
        Format.Lookup =
            Lookup ? Lookup->Update(Target.Palette ? Target.Palette : kBlackPalette) : nullptr;
    }
    DepthMax = Target.DepthBits == 16 ? 0xFFFFu : 0xFFFFFFu;
    DepthScale = QFront > QBack ? float(DepthMax) / (QFront - QBack) : 0.0f;
}

void TRasterizer::Clear() {
    if (ClipRect.Left >= ClipRect.Right || !Target.Pixels)
        return;
    const std::size_t rowBytes = std::size_t(ClipRect.Right - ClipRect.Left) * Format.Bytes;
    for (int y = ClipRect.Top; y < ClipRect.Bottom; ++y) {
        std::memset(Target.Pixels + std::ptrdiff_t(y) * Target.Pitch + ClipRect.Left * Format.Bytes,
                    0, rowBytes);
        if (!Target.Depth)
            continue;
        BYTE* z = Target.Depth + std::ptrdiff_t(y) * Target.DepthPitch;
        if (Target.DepthBits == 16)
            std::fill_n(reinterpret_cast<std::uint16_t*>(z) + ClipRect.Left,
                        ClipRect.Right - ClipRect.Left, std::uint16_t(DepthMax));
        else
            std::fill_n(reinterpret_cast<std::uint32_t*>(z) + ClipRect.Left,
                        ClipRect.Right - ClipRect.Left, DepthMax);
    }
}

void TRasterizer::DrawTriangle(const TRasterVertex& A, const TRasterVertex& B,
                               const TRasterVertex& C, const TRasterTexture* Texture,
                               bool Gouraud) {
    if (!Target.Pixels || !Target.Depth || (Format.Bytes == 1 && !Format.Lookup))
        return;
    TRasterVertex v[3] = {A, B, C};
    // Corners that overflowed on the way here cannot be placed; nothing else is checked per
    // pixel for them.
    for (const TRasterVertex& p : v)
        if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Q))
            return;
    for (TRasterVertex& p : v) {
        p.X = Snap(p.X);
        p.Y = Snap(p.Y);
    }
    // Top to bottom, ties left to right: an edge is then always walked from the same end.
    auto above = [](const TRasterVertex& P, const TRasterVertex& Q) {
        return P.Y < Q.Y || (P.Y == Q.Y && P.X < Q.X);
    };
    if (above(v[1], v[0]))
        std::swap(v[0], v[1]);
    if (above(v[2], v[1]))
        std::swap(v[1], v[2]);
    if (above(v[1], v[0]))
        std::swap(v[0], v[1]);

    const float area =
        (v[1].X - v[0].X) * (v[2].Y - v[0].Y) - (v[2].X - v[0].X) * (v[1].Y - v[0].Y);
    if (area == 0 || !std::isfinite(area))
        return;
    const float invArea = 1.0f / area;

    TRasterTriangle t;
    auto row = [this](float Y) {
        const double r = std::ceil(double(Y) - 0.5);
        return r > ClipRect.Top ? (r < ClipRect.Bottom ? int(r) : ClipRect.Bottom) : ClipRect.Top;
    };
    t.YStart = row(v[0].Y);
    t.YMid = row(v[1].Y);
    t.YEnd = row(v[2].Y);
    if (t.YStart >= t.YEnd || ClipRect.Left >= ClipRect.Right)
        return;
    t.XMin = ClipRect.Left;
    t.XMax = ClipRect.Right;
    t.Long = EdgeFrom(v[0], v[2]);
    t.Upper = EdgeFrom(v[0], v[1]);
    t.Lower = EdgeFrom(v[1], v[2]);
    t.LongOnLeft = area > 0;

    auto depthOf = [this](const TRasterVertex& P) { return (QFront - P.Q) * DepthScale; };
    t.Depth = PlaneFrom(v[0], v[1], v[2], depthOf(v[0]), depthOf(v[1]), depthOf(v[2]), invArea);
    // The flat colour is that of the first corner as given, whatever the sorting did.
    if (Gouraud) {
        t.R = PlaneFrom(v[0], v[1], v[2], v[0].R * 255, v[1].R * 255, v[2].R * 255, invArea);
        t.G = PlaneFrom(v[0], v[1], v[2], v[0].G * 255, v[1].G * 255, v[2].G * 255, invArea);
        t.B = PlaneFrom(v[0], v[1], v[2], v[0].B * 255, v[1].B * 255, v[2].B * 255, invArea);
    } else {
        t.R.At00 = std::clamp(A.R, 0.0f, 1.0f) * 255;
        t.G.At00 = std::clamp(A.G, 0.0f, 1.0f) * 255;
        t.B.At00 = std::clamp(A.B, 0.0f, 1.0f) * 255;
    }
    const bool textured = Texture && Texture->Texels && Texture->Width > 0 && Texture->Height > 0;
    if (textured) {
        t.Texture = *Texture;
        t.Q = PlaneFrom(v[0], v[1], v[2], v[0].Q, v[1].Q, v[2].Q, invArea);
        t.UQ =
            PlaneFrom(v[0], v[1], v[2], v[0].U * v[0].Q, v[1].U * v[1].Q, v[2].U * v[2].Q, invArea);
        t.VQ =
            PlaneFrom(v[0], v[1], v[2], v[0].V * v[0].Q, v[1].V * v[1].Q, v[2].V * v[2].Q, invArea);
    }
    FillTriangle(Target, Format, t, textured, Gouraud);
}
