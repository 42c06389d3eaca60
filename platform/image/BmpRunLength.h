#pragma once
// The run-length codes of 4- and 8-bit bitmaps, drawn into indices.

#include <cstdint>
#include <span>

// Draws Codes (BitCount 4 or 8) into Index: Width x Rows indices, the top row first as seen,
// already holding the background. What the codes do not reach keeps it.
void DrawBmpRunLength(std::span<const std::uint8_t> Codes, int BitCount, int Width, int Rows,
                      std::uint8_t* Index);
