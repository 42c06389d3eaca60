#include "RasterSpans.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using TFormat = TRasterizer::TFormat;

// Packs an 8-bit-per-channel colour into the target's pixel of Bytes bytes.
template <int Bytes> inline void PutPixel(BYTE* Row, int X, int R, int G, int B, const TFormat& F) {
    if constexpr (Bytes == 1) {
        Row[X] = F.Lookup[((R >> 3) << 10) | ((G >> 3) << 5) | (B >> 3)];
    } else {
        const std::uint32_t v = (std::uint32_t(R >> F.RedLoss) << F.RedShift) |
                                (std::uint32_t(G >> F.GreenLoss) << F.GreenShift) |
                                (std::uint32_t(B >> F.BlueLoss) << F.BlueShift);
        if constexpr (Bytes == 2) {
            reinterpret_cast<std::uint16_t*>(Row)[X] = static_cast<std::uint16_t>(v);
        } else if constexpr (Bytes == 4) {
            reinterpret_cast<std::uint32_t*>(Row)[X] = v;
        } else {
            BYTE* p = Row + X * 3;
            p[0] = BYTE(v);
            p[1] = BYTE(v >> 8);
            p[2] = BYTE(v >> 16);
        }
    }
}

inline float Start(const TRasterPlane& P, float X, float Y) {
    return P.At00 + P.Dx * X + P.Dy * Y;
}

// x of the edge at the centre of row Y.
inline double EdgeX(const TRasterEdge& E, int Y) {
    return E.X0 + (Y + 0.5 - E.Y0) * E.Slope;
}

// The first column whose centre lies at or right of X, held to [Lo, Hi]: this is where the
// fill rule lives (centres on a left edge are in, on a right edge out).
inline int FirstColumn(double X, int Lo, int Hi) {
    const double c = std::ceil(X - 0.5);
    return c > Lo ? (c < Hi ? static_cast<int>(c) : Hi) : Lo;
}

// Holds V to [0, Hi] before it becomes an integer; a NaN, which no comparison passes, gives 0.
inline float Within(float V, float Hi) {
    return V > 0.0f ? (V < Hi ? V : Hi) : 0.0f;
}

template <int Bytes, class TDepthWord, bool Textured, bool Gouraud>
void Fill(const TRenderTarget& Target, const TFormat& F, const TRasterTriangle& T) {
    const float depthMax = sizeof(TDepthWord) == 2 ? 65535.0f : 16777215.0f;
    const float texRight = float(T.Texture.Width - 1);
    const float texBottom = float(T.Texture.Height - 1);
    const float texWidth = float(T.Texture.Width);
    const float texHeight = float(T.Texture.Height);
    // Flat triangles carry their colour in the planes' constant term.
    const int flatR = int(T.R.At00), flatG = int(T.G.At00), flatB = int(T.B.At00);

    for (int y = T.YStart; y < T.YEnd; ++y) {
        const TRasterEdge& shortEdge = y < T.YMid ? T.Upper : T.Lower;
        const double xLong = EdgeX(T.Long, y);
        const double xShort = EdgeX(shortEdge, y);
        const int x0 = FirstColumn(T.LongOnLeft ? xLong : xShort, T.XMin, T.XMax);
        const int x1 = FirstColumn(T.LongOnLeft ? xShort : xLong, T.XMin, T.XMax);
        if (x0 >= x1)
            continue;

        const float fx = float(x0), fy = float(y);
        float depth = Start(T.Depth, fx, fy);
        float r = 0, g = 0, b = 0, q = 0, uq = 0, vq = 0;
        if constexpr (Gouraud) {
            r = Start(T.R, fx, fy);
            g = Start(T.G, fx, fy);
            b = Start(T.B, fx, fy);
        }
        if constexpr (Textured) {
            q = Start(T.Q, fx, fy);
            uq = Start(T.UQ, fx, fy);
            vq = Start(T.VQ, fx, fy);
        }
        auto* zRow =
            reinterpret_cast<TDepthWord*>(Target.Depth + std::ptrdiff_t(y) * Target.DepthPitch);
        BYTE* row = Target.Pixels + std::ptrdiff_t(y) * Target.Pitch;

        for (int x = x0; x < x1; ++x) {
            // Rounding can carry an edge pixel a hair past the front or back plane.
            const auto z = static_cast<TDepthWord>(Within(depth, depthMax));
            if (z <= zRow[x]) {
                zRow[x] = z;
                int cr = flatR, cg = flatG, cb = flatB;
                if constexpr (Gouraud) {
                    // Long thin triangles can carry a colour a little past 0..255 at a centre.
                    cr = int(Within(r, 255.0f));
                    cg = int(Within(g, 255.0f));
                    cb = int(Within(b, 255.0f));
                }
                if constexpr (Textured) {
                    // Dividing by the interpolated 1/z undoes the projection per pixel.
                    const float w = 1.0f / q;
                    const int tx = int(Within(uq * w * texWidth, texRight));
                    const int ty = int(Within(vq * w * texHeight, texBottom));
                    const std::uint32_t texel = T.Texture.Texels[ty * T.Texture.Width + tx];
                    // (c + 1) * t >> 8 keeps 255 * t at t and 0 at 0.
                    cr = (int((texel >> 16) & 0xFF) * (cr + 1)) >> 8;
                    cg = (int((texel >> 8) & 0xFF) * (cg + 1)) >> 8;
                    cb = (int(texel & 0xFF) * (cb + 1)) >> 8;
                }
                PutPixel<Bytes>(row, x, cr, cg, cb, F);
            }
            depth += T.Depth.Dx;
            if constexpr (Gouraud) {
                r += T.R.Dx;
                g += T.G.Dx;
                b += T.B.Dx;
            }
            if constexpr (Textured) {
                q += T.Q.Dx;
                uq += T.UQ.Dx;
                vq += T.VQ.Dx;
            }
        }
    }
}

template <int Bytes, class TDepthWord>
void FillFor(const TRenderTarget& Target, const TFormat& F, const TRasterTriangle& T, bool Textured,
             bool Gouraud) {
    if (Textured)
        Gouraud ? Fill<Bytes, TDepthWord, true, true>(Target, F, T)
                : Fill<Bytes, TDepthWord, true, false>(Target, F, T);
    else
        Gouraud ? Fill<Bytes, TDepthWord, false, true>(Target, F, T)
                : Fill<Bytes, TDepthWord, false, false>(Target, F, T);
}

template <int Bytes>
void FillBytes(const TRenderTarget& Target, const TFormat& F, const TRasterTriangle& T,
               bool Textured, bool Gouraud) {
    if (Target.DepthBits == 16)
        FillFor<Bytes, std::uint16_t>(Target, F, T, Textured, Gouraud);
    else
        FillFor<Bytes, std::uint32_t>(Target, F, T, Textured, Gouraud);
}

} // namespace

void FillTriangle(const TRenderTarget& Target, const TFormat& Format, const TRasterTriangle& T,
                  bool Textured, bool Gouraud) {
    switch (Format.Bytes) {
    case 1:
        FillBytes<1>(Target, Format, T, Textured, Gouraud);
        break;
    case 2:
        FillBytes<2>(Target, Format, T, Textured, Gouraud);
        break;
    case 3:
        FillBytes<3>(Target, Format, T, Textured, Gouraud);
        break;
    default:
        FillBytes<4>(Target, Format, T, Textured, Gouraud);
        break;
    }
}
