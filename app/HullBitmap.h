#pragma once
// The hull texture file as the game messages use it: read to send its pixel bits, and as the
// template whose headers and palette dress the pixel bits another player sent.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct THullBitmap {
    std::int32_t ColourCount = 0;
    std::int32_t ImageSize = 0;
    // The info header (with the colour count and image size worked out) and the palette.
    std::vector<std::uint8_t> InfoAndPalette;
    std::vector<std::uint8_t> Pixels;
};

// Empty when the file cannot be read or is not a bitmap the exchange can use: its image size
// must be positive and the file must hold every byte its headers claim.
std::optional<THullBitmap> ReadHullBitmap(const std::string& FileName);
std::optional<THullBitmap> ParseHullBitmap(std::span<const std::uint8_t> File);

// What every other player can take: 128 x 128 pixels, 24 bits, stored bottom-up, so that its
// pixel bits are the 49152 bytes a receiver's own template expects.
bool IsExchangeableHullBitmap(const THullBitmap& Bitmap);

// Writes Template's headers and palette with Pixels as a complete bitmap, through a temporary
// file in the same folder, so FileName is either the whole new bitmap or left as it was.
// False when Pixels is not the template's image size or the file cannot be written.
bool WriteHullBitmap(const std::string& FileName, const THullBitmap& Template,
                     std::span<const std::uint8_t> Pixels);
