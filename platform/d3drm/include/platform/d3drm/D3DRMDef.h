#pragma once
// Value types, colours, render qualities, light types and result codes of the retained-mode
// stand-in. Coordinates are left-handed with y up; colour components are 0..1.

#include "platform/com/Com.h"

#include <algorithm>

using D3DVALUE = float;
using D3DCOLOR = DWORD; // 0xAARRGGBB

struct D3DVECTOR {
    D3DVALUE x = 0, y = 0, z = 0;
};
using LPD3DVECTOR = D3DVECTOR*;

// Clamps each component to 0..1 and packs it into 8 bits; alpha is opaque.
inline D3DCOLOR D3DRMCreateColorRGB(D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue) {
    auto Byte = [](D3DVALUE v) {
        return static_cast<DWORD>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    return 0xFF000000u | (Byte(Red) << 16) | (Byte(Green) << 8) | Byte(Blue);
}
inline D3DVALUE D3DRMColorGetRed(D3DCOLOR Color) {
    return ((Color >> 16) & 0xFF) / 255.0f;
}
inline D3DVALUE D3DRMColorGetGreen(D3DCOLOR Color) {
    return ((Color >> 8) & 0xFF) / 255.0f;
}
inline D3DVALUE D3DRMColorGetBlue(D3DCOLOR Color) {
    return (Color & 0xFF) / 255.0f;
}

// A render quality is three fields added together: shade mode, lighting and fill mode. Where a
// device and a mesh disagree, each field takes the lower of the two.
using D3DRMRENDERQUALITY = DWORD;
inline constexpr DWORD D3DRMSHADE_FLAT = 0;
inline constexpr DWORD D3DRMSHADE_GOURAUD = 1;
inline constexpr DWORD D3DRMSHADE_PHONG = 2;
inline constexpr DWORD D3DRMSHADE_MASK = 7;
inline constexpr DWORD D3DRMSHADE_MAX = 8;
inline constexpr DWORD D3DRMLIGHT_OFF = 0 * D3DRMSHADE_MAX;
inline constexpr DWORD D3DRMLIGHT_ON = 1 * D3DRMSHADE_MAX;
inline constexpr DWORD D3DRMLIGHT_MASK = 7 * D3DRMSHADE_MAX;
inline constexpr DWORD D3DRMLIGHT_MAX = 8 * D3DRMSHADE_MAX;
inline constexpr DWORD D3DRMFILL_POINTS = 0 * D3DRMLIGHT_MAX;
inline constexpr DWORD D3DRMFILL_WIREFRAME = 1 * D3DRMLIGHT_MAX;
inline constexpr DWORD D3DRMFILL_SOLID = 2 * D3DRMLIGHT_MAX;
inline constexpr DWORD D3DRMFILL_MASK = 7 * D3DRMLIGHT_MAX;

inline constexpr D3DRMRENDERQUALITY D3DRMRENDER_UNLITFLAT =
    D3DRMSHADE_FLAT + D3DRMLIGHT_OFF + D3DRMFILL_SOLID; // 128
inline constexpr D3DRMRENDERQUALITY D3DRMRENDER_FLAT =
    D3DRMSHADE_FLAT + D3DRMLIGHT_ON + D3DRMFILL_SOLID; // 136
inline constexpr D3DRMRENDERQUALITY D3DRMRENDER_GOURAUD =
    D3DRMSHADE_GOURAUD + D3DRMLIGHT_ON + D3DRMFILL_SOLID; // 137
static_assert(D3DRMRENDER_UNLITFLAT == 128 && D3DRMRENDER_GOURAUD == 137);

enum D3DRMLIGHTTYPE : DWORD {
    D3DRMLIGHT_AMBIENT = 0,
    D3DRMLIGHT_POINT = 1,
    D3DRMLIGHT_SPOT = 2,
    D3DRMLIGHT_DIRECTIONAL = 3,
    D3DRMLIGHT_PARALLELPOINT = 4,
};

constexpr HRESULT D3DRMMakeResult(DWORD Code) {
    return MakeHResult(0x88760000u | Code);
}

inline constexpr HRESULT D3DRM_OK = S_OK;
inline constexpr HRESULT D3DRMERR_BADOBJECT = D3DRMMakeResult(781);
inline constexpr HRESULT D3DRMERR_BADTYPE = D3DRMMakeResult(782);
inline constexpr HRESULT D3DRMERR_BADALLOC = D3DRMMakeResult(783);
inline constexpr HRESULT D3DRMERR_FACEUSED = D3DRMMakeResult(784);
inline constexpr HRESULT D3DRMERR_NOTFOUND = D3DRMMakeResult(785);
inline constexpr HRESULT D3DRMERR_NOTDONEYET = D3DRMMakeResult(786);
inline constexpr HRESULT D3DRMERR_FILENOTFOUND = D3DRMMakeResult(787);
inline constexpr HRESULT D3DRMERR_BADFILE = D3DRMMakeResult(788);
inline constexpr HRESULT D3DRMERR_BADDEVICE = D3DRMMakeResult(789);
inline constexpr HRESULT D3DRMERR_BADVALUE = D3DRMMakeResult(790);
