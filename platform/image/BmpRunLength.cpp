#include "BmpRunLength.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

// Where the next pixel goes. Codes may move it past the right edge or the last row (a long
// run, a delta); there nothing is drawn, and a line's end brings it back to the left edge.
// Each code moves it by at most 255, so 64 bits cannot overflow for any file that fits memory.
struct TPen {
    std::uint64_t X = 0, Y = 0;
    std::uint64_t Width = 0, Rows = 0;

    // Pixels of this line still inside the picture, at most N.
    std::size_t Room(std::size_t N) const {
        return X < Width && Y < Rows
                   ? static_cast<std::size_t>(std::min<std::uint64_t>(N, Width - X))
                   : 0;
    }
    // Only for a pen inside the picture. The codes start at the bottom row.
    std::size_t Offset() const { return static_cast<std::size_t>((Rows - 1 - Y) * Width + X); }
};

// The K-th pixel of a run or stretch: at 4 bits the high nibble comes first.
std::uint8_t Nibble(std::uint8_t Byte, std::size_t K) {
    return K % 2 ? Byte & 0x0F : Byte >> 4;
}

} // namespace

void DrawBmpRunLength(std::span<const std::uint8_t> Codes, int BitCount, int Width, int Rows,
                      std::uint8_t* Index) {
    TPen pen;
    pen.Width = static_cast<std::uint64_t>(Width);
    pen.Rows = static_cast<std::uint64_t>(Rows);
    const bool four = BitCount == 4;
    std::size_t at = 0;
    const std::size_t size = Codes.size();
    // The pen never moves down, so once past the last row nothing more can be drawn.
    while (size - at >= 2 && pen.Y < pen.Rows) {
        const std::uint8_t count = Codes[at], value = Codes[at + 1];
        at += 2;
        if (count != kEscape) {
            const std::size_t n = pen.Room(count);
            for (std::size_t k = 0; k < n; ++k)
                Index[pen.Offset() + k] = four ? Nibble(value, k) : value;
            pen.X += count;
            continue;
        }
        if (value == kEndOfLine) {
            pen.X = 0;
            ++pen.Y;
        } else if (value == kEndOfBitmap) {
            return;
        } else if (value == kDelta) {
            if (size - at < 2)
                return;
            pen.X += Codes[at];
            pen.Y += Codes[at + 1];
            at += 2;
        } else {
            // An absolute stretch of `value` pixels, its bytes padded to a 16-bit boundary.
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            if (size - at < bytes)
                return;
            const std::size_t n = pen.Room(value);
            for (std::size_t k = 0; k < n; ++k)
                Index[pen.Offset() + k] = four ? Nibble(Codes[at + k / 2], k) : Codes[at + k];
            pen.X += value;
            at += std::min(size - at, bytes + bytes % 2);
        }
    }
}
