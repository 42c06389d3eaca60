#include "PixelFormat.h"

DDPIXELFORMAT RgbPixelFormat(int Bits) {
    DDPIXELFORMAT f;
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | (Bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
    f.dwRGBBitCount = static_cast<DWORD>(Bits);
    if (Bits == 16) {
        f.dwRBitMask = 0xF800;
        f.dwGBitMask = 0x07E0;
        f.dwBBitMask = 0x001F;
    } else if (Bits == 24 || Bits == 32) {
        f.dwRBitMask = 0xFF0000;
        f.dwGBitMask = 0x00FF00;
        f.dwBBitMask = 0x0000FF;
    }
    return f;
}

DDPIXELFORMAT ZPixelFormat(int Depth) {
    DDPIXELFORMAT f;
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_ZBUFFER;
    f.dwZBufferBitDepth = static_cast<DWORD>(Depth);
    f.dwZBitMask = Depth == 32 ? 0xFFFFFFFFu : (1u << Depth) - 1u;
    return f;
}

bool PixelKindOf(const DDPIXELFORMAT& F, TPixelKind& Kind) {
    if (F.dwFlags & DDPF_ZBUFFER) {
        switch (F.dwZBufferBitDepth) {
        case 16:
            Kind = TPixelKind::Z16;
            return true;
        case 24:
            Kind = TPixelKind::Z24;
            return true;
        case 32:
            Kind = TPixelKind::Z32;
            return true;
        default:
            return false;
        }
    }
    if (!(F.dwFlags & DDPF_RGB))
        return false;
    switch (F.dwRGBBitCount) {
    case 8:
        Kind = TPixelKind::Indexed8;
        return (F.dwFlags & DDPF_PALETTEINDEXED8) != 0;
    case 16:
        Kind = TPixelKind::Rgb565;
        return F.dwRBitMask == 0xF800 && F.dwGBitMask == 0x07E0 && F.dwBBitMask == 0x001F;
    case 24:
    case 32:
        Kind = F.dwRGBBitCount == 24 ? TPixelKind::Rgb888 : TPixelKind::Xrgb8888;
        return F.dwRBitMask == 0xFF0000 && F.dwGBitMask == 0x00FF00 && F.dwBBitMask == 0x0000FF;
    default:
        return false;
    }
}

int BytesPerPixel(TPixelKind Kind) {
    switch (Kind) {
    case TPixelKind::Indexed8:
        return 1;
    case TPixelKind::Rgb565:
    case TPixelKind::Z16:
        return 2;
    case TPixelKind::Rgb888:
        return 3;
    default:
        return 4;
    }
}

bool IsZ(TPixelKind Kind) {
    return Kind == TPixelKind::Z16 || Kind == TPixelKind::Z24 || Kind == TPixelKind::Z32;
}
