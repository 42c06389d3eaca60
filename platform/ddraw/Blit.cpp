#include "Blit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

DWORD Expand565(DWORD v) {
    const DWORD r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    // Bit replication maps full scale onto 255 and zero onto 0.
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

DWORD Pack565(DWORD rgb) {
    return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x001F);
}

struct TRead8 {
    std::array<DWORD, 256> Lut{};
    explicit TRead8(const PALETTEENTRY* P) {
        if (P)
            for (int i = 0; i < 256; ++i)
                Lut[i] = DWORD(P[i].peRed) << 16 | DWORD(P[i].peGreen) << 8 | P[i].peBlue;
    }
    static DWORD Raw(const BYTE* Row, int X) { return Row[X]; }
    DWORD Rgb(DWORD Raw) const { return Lut[Raw]; }
};
struct TRead565 {
    static DWORD Raw(const BYTE* Row, int X) {
        std::uint16_t v;
        std::memcpy(&v, Row + 2 * X, 2);
        return v;
    }
    static DWORD Rgb(DWORD Raw) { return Expand565(Raw); }
};
struct TRead888 {
    static DWORD Raw(const BYTE* Row, int X) {
        const BYTE* p = Row + 3 * X;
        return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16;
    }
    static DWORD Rgb(DWORD Raw) { return Raw; }
};
struct TRead8888 {
    static DWORD Raw(const BYTE* Row, int X) {
        DWORD v;
        std::memcpy(&v, Row + 4 * X, 4);
        return v;
    }
    static DWORD Rgb(DWORD Raw) { return Raw & 0xFFFFFF; }
};

// Onto 8 bits: the nearest palette colour, remembered per 15-bit colour for the blit.
struct TWrite8 {
    const PALETTEENTRY* P;
    std::vector<std::int16_t> Memo;
    explicit TWrite8(const PALETTEENTRY* Palette) : P(Palette), Memo(32768, -1) {}
    DWORD Pixel(DWORD Rgb) {
        if (!P)
            return 0;
        const DWORD key = (Rgb >> 9 & 0x7C00) | (Rgb >> 6 & 0x03E0) | (Rgb >> 3 & 0x001F);
        if (Memo[key] >= 0)
            return static_cast<DWORD>(Memo[key]);
        const int r = Rgb >> 16 & 255, g = Rgb >> 8 & 255, b = Rgb & 255;
        int best = 0, bestDist = 1 << 30;
        for (int i = 0; i < 256; ++i) {
            const int dr = r - P[i].peRed, dg = g - P[i].peGreen, db = b - P[i].peBlue;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDist) {
                bestDist = d;
                best = i;
            }
        }
        Memo[key] = static_cast<std::int16_t>(best);
        return static_cast<DWORD>(best);
    }
    static void Store(BYTE* Row, int X, DWORD V) { Row[X] = static_cast<BYTE>(V); }
};
struct TWrite565 {
    static DWORD Pixel(DWORD Rgb) { return Pack565(Rgb); }
    static void Store(BYTE* Row, int X, DWORD V) {
        const auto v = static_cast<std::uint16_t>(V);
        std::memcpy(Row + 2 * X, &v, 2);
    }
};
struct TWrite888 {
    static DWORD Pixel(DWORD Rgb) { return Rgb; }
    static void Store(BYTE* Row, int X, DWORD V) {
        BYTE* p = Row + 3 * X;
        p[0] = static_cast<BYTE>(V);
        p[1] = static_cast<BYTE>(V >> 8);
        p[2] = static_cast<BYTE>(V >> 16);
    }
};
struct TWrite8888 {
    static DWORD Pixel(DWORD Rgb) { return Rgb; }
    static void Store(BYTE* Row, int X, DWORD V) { std::memcpy(Row + 4 * X, &V, 4); }
};

// Source column (or row) for each destination one of Clip, sampling at pixel centres.
std::vector<int> SourceSteps(int DstStart, int DstLen, int SrcStart, int SrcLen, int ClipStart,
                             int ClipEnd) {
    std::vector<int> steps(static_cast<size_t>(std::max(0, ClipEnd - ClipStart)));
    for (int d = ClipStart; d < ClipEnd; ++d) {
        const long long num = (2LL * (d - DstStart) + 1) * SrcLen;
        steps[static_cast<size_t>(d - ClipStart)] =
            SrcStart + static_cast<int>(num / (2LL * DstLen));
    }
    return steps;
}

template <class R, class W>
void Run(R& Reader, W& Writer, const TPixmap& Dst, const RECT& Clip, const TPixmap& Src,
         const std::vector<int>& Xs, const std::vector<int>& Ys, const DWORD* Key) {
    for (size_t j = 0; j < Ys.size(); ++j) {
        const BYTE* srow = Src.Bits + static_cast<ptrdiff_t>(Ys[j]) * Src.Pitch;
        BYTE* drow = Dst.Bits + static_cast<ptrdiff_t>(Clip.top + static_cast<LONG>(j)) * Dst.Pitch;
        for (size_t i = 0; i < Xs.size(); ++i) {
            const DWORD raw = Reader.Raw(srow, Xs[i]);
            if (Key && raw == *Key)
                continue;
            Writer.Store(drow, Clip.left + static_cast<int>(i), Writer.Pixel(Reader.Rgb(raw)));
        }
    }
}

template <class R>
void RunInto(R& Reader, const TPixmap& Dst, const RECT& Clip, const TPixmap& Src,
             const std::vector<int>& Xs, const std::vector<int>& Ys, const DWORD* Key) {
    switch (Dst.Kind) {
    case TPixelKind::Indexed8: {
        TWrite8 w(Dst.Palette);
        Run(Reader, w, Dst, Clip, Src, Xs, Ys, Key);
        break;
    }
    case TPixelKind::Rgb565: {
        TWrite565 w;
        Run(Reader, w, Dst, Clip, Src, Xs, Ys, Key);
        break;
    }
    case TPixelKind::Rgb888: {
        TWrite888 w;
        Run(Reader, w, Dst, Clip, Src, Xs, Ys, Key);
        break;
    }
    default: {
        TWrite8888 w;
        Run(Reader, w, Dst, Clip, Src, Xs, Ys, Key);
        break;
    }
    }
}

// Same format, no key: whole runs of bytes, scaled by picking source pixels.
void CopySameFormat(const TPixmap& Dst, const RECT& Clip, const TPixmap& Src,
                    const std::vector<int>& Xs, const std::vector<int>& Ys, bool Unscaled) {
    const int bpp = BytesPerPixel(Dst.Kind);
    const size_t rowBytes = Xs.size() * static_cast<size_t>(bpp);
    for (size_t j = 0; j < Ys.size(); ++j) {
        const BYTE* srow = Src.Bits + static_cast<ptrdiff_t>(Ys[j]) * Src.Pitch;
        BYTE* drow = Dst.Bits +
                     static_cast<ptrdiff_t>(Clip.top + static_cast<LONG>(j)) * Dst.Pitch +
                     static_cast<ptrdiff_t>(Clip.left) * bpp;
        if (Unscaled) {
            std::memmove(drow, srow + static_cast<ptrdiff_t>(Xs[0]) * bpp, rowBytes);
            continue;
        }
        switch (bpp) {
        case 1:
            for (size_t i = 0; i < Xs.size(); ++i)
                drow[i] = srow[Xs[i]];
            break;
        case 2:
            for (size_t i = 0; i < Xs.size(); ++i)
                std::memcpy(drow + 2 * i, srow + 2 * Xs[i], 2);
            break;
        case 3:
            for (size_t i = 0; i < Xs.size(); ++i)
                std::memcpy(drow + 3 * i, srow + 3 * Xs[i], 3);
            break;
        default:
            for (size_t i = 0; i < Xs.size(); ++i)
                std::memcpy(drow + 4 * i, srow + 4 * Xs[i], 4);
            break;
        }
    }
}

} // namespace

DWORD RgbOf(TPixelKind Kind, DWORD Raw, const PALETTEENTRY* Palette) {
    switch (Kind) {
    case TPixelKind::Indexed8:
        return Palette ? DWORD(Palette[Raw & 255].peRed) << 16 |
                             DWORD(Palette[Raw & 255].peGreen) << 8 | Palette[Raw & 255].peBlue
                       : 0;
    case TPixelKind::Rgb565:
        return Expand565(Raw);
    default:
        return Raw & 0xFFFFFF;
    }
}

void ScaledBlit(const TPixmap& Dst, const RECT& DstRect, const TPixmap& Src, const RECT& SrcRect,
                const RECT& Clip, const DWORD* Key) {
    const int dw = DstRect.right - DstRect.left, dh = DstRect.bottom - DstRect.top;
    const int sw = SrcRect.right - SrcRect.left, sh = SrcRect.bottom - SrcRect.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || Clip.right <= Clip.left ||
        Clip.bottom <= Clip.top)
        return;
    const std::vector<int> xs =
        SourceSteps(DstRect.left, dw, SrcRect.left, sw, Clip.left, Clip.right);
    const std::vector<int> ys =
        SourceSteps(DstRect.top, dh, SrcRect.top, sh, Clip.top, Clip.bottom);
    // Palettised pixels keep their indices between palettised surfaces, as the hardware does.
    if (Dst.Kind == Src.Kind && !Key) {
        CopySameFormat(Dst, Clip, Src, xs, ys, dw == sw && &Dst != &Src && Dst.Bits != Src.Bits);
        return;
    }
    if (Dst.Kind == Src.Kind && Dst.Kind == TPixelKind::Indexed8) {
        TRead8 r(nullptr);
        for (size_t j = 0; j < ys.size(); ++j) {
            const BYTE* srow = Src.Bits + static_cast<ptrdiff_t>(ys[j]) * Src.Pitch;
            BYTE* drow =
                Dst.Bits + static_cast<ptrdiff_t>(Clip.top + static_cast<LONG>(j)) * Dst.Pitch;
            for (size_t i = 0; i < xs.size(); ++i)
                if (srow[xs[i]] != *Key)
                    drow[Clip.left + static_cast<LONG>(i)] = srow[xs[i]];
        }
        return;
    }
    switch (Src.Kind) {
    case TPixelKind::Indexed8: {
        TRead8 r(Src.Palette);
        RunInto(r, Dst, Clip, Src, xs, ys, Key);
        break;
    }
    case TPixelKind::Rgb565: {
        TRead565 r;
        RunInto(r, Dst, Clip, Src, xs, ys, Key);
        break;
    }
    case TPixelKind::Rgb888: {
        TRead888 r;
        RunInto(r, Dst, Clip, Src, xs, ys, Key);
        break;
    }
    default: {
        TRead8888 r;
        RunInto(r, Dst, Clip, Src, xs, ys, Key);
        break;
    }
    }
}

void FillRect(const TPixmap& Dst, const RECT& R, DWORD Value) {
    const int bpp = BytesPerPixel(Dst.Kind);
    for (LONG y = R.top; y < R.bottom; ++y) {
        BYTE* row = Dst.Bits + static_cast<ptrdiff_t>(y) * Dst.Pitch;
        for (LONG x = R.left; x < R.right; ++x)
            std::memcpy(row + static_cast<ptrdiff_t>(x) * bpp, &Value, static_cast<size_t>(bpp));
    }
}
