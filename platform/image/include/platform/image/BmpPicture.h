#pragma once
// The pixels of a Windows bitmap file, in every form a paint program saves: 1, 4, 8, 16, 24 or
// 32 bits, the short header or any longer one, bottom-up or top-down, run-length codes at 4 and
// 8 bits, bit fields of any width. One decoder, so every reader of the game sees the same
// picture, and every pixel of it is defined by the file alone.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A decoded bitmap, the top row first as seen.
struct TBmpPicture {
    int Width = 0;
    int Height = 0;
    std::uint16_t BitCount = 0; // as the file states it
    // Up to 8 bits: the file's colour table in the file's order, 0x00RRGGBB, filled up with
    // black to the 2^BitCount entries an index can name; and one index a pixel.
    std::vector<std::uint32_t> Palette;
    std::vector<std::uint8_t> Index;
    // Above 8 bits: one 0x00RRGGBB a pixel.
    std::vector<std::uint32_t> Rgb;

    bool Indexed() const { return BitCount <= 8; }
    // 0x00RRGGBB of a pixel within the picture.
    std::uint32_t At(int X, int Y) const {
        const std::size_t i = std::size_t(Y) * std::size_t(Width) + std::size_t(X);
        return Indexed() ? Palette[Index[i]] : Rgb[i];
    }
};

// Decodes a whole file held in memory. Refused (false, Picture untouched): anything
// ParseBmpHeader refuses; a side not within 1 to MaxSide; planes other than 1; a depth and
// compression that do not go together (run-length codes only at their own depth and bottom-up,
// bit fields only at 16 and 32 bits and with their masks); more colours than an index can name
// or a colour table past the file's end; uncompressed rows past the file's end; codes starting
// past it.
//
// The rows start at the file header's offset, wherever that points. Run-length codes that leave
// pixels unset (a delta, an early end of a line or of the bitmap, codes that stop with the
// file) leave them the background, index 0. A run or absolute stretch longer than what is left
// of its line stops at the line's end, and nothing outside the picture is drawn; a code cut off
// by the file's end is not drawn. A bit-field channel of n bits becomes 8 by repeating its bits
// when n < 8 and by keeping its top 8 when n > 8.
bool DecodeBmpPicture(std::span<const std::uint8_t> File, int MaxSide, TBmpPicture& Picture);
