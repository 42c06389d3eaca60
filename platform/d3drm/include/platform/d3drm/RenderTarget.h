#pragma once
// What the renderer draws into: a colour buffer in its own pixel format and a depth buffer of
// the same size. The display stand-in's surfaces are described this way while locked; tests
// describe plain memory.

#include "platform/com/Com.h"

#include <cstdint>

struct TRenderTarget {
    BYTE* Pixels = nullptr;
    LONG Pitch = 0; // bytes from one row to the next
    int Width = 0;
    int Height = 0;
    int BitCount = 16; // 8 (palettised), 16, 24 or 32
    DWORD RedMask = 0, GreenMask = 0, BlueMask = 0;
    // 8 bits: 256 entries of red, green, blue, flags (the layout of a palette entry).
    const BYTE* Palette = nullptr;
    BYTE* Depth = nullptr; // nullptr: no depth test
    LONG DepthPitch = 0;
    int DepthBits = 16; // 16 (16-bit words), 24 or 32 (32-bit words)
};

// Gives the renderer access to a target for the length of one drawing call.
class TRenderTargetSource {
public:
    virtual ~TRenderTargetSource() = default;
    virtual HRESULT Lock(TRenderTarget& Target) = 0;
    virtual void Unlock() = 0;
};
