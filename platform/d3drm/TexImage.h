#pragma once
// A decoded picture for texturing: 0x00RRGGBB texels, row by row from the top row as seen.

#include <cstddef>
#include <cstdint>
#include <vector>

struct TTexImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Texels;
};

// The largest side a bitmap may have; larger ones are refused rather than allocated.
inline constexpr int kMaxTextureSide = 4096;

// Decodes a Windows bitmap file held in memory: uncompressed, 1, 4, 8 (palettised), 24 or
// 32 bits per pixel, bottom-up or top-down. Every size and offset is checked against Size;
// false (and Image untouched) for anything else.
bool DecodeBmp(const std::uint8_t* Data, std::size_t Size, TTexImage& Image);
