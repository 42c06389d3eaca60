#pragma once
// A 24-bit picture in memory, top row first, three bytes per pixel in R, G, B order.

#include <cstdint>
#include <filesystem>
#include <vector>

struct TRgb {
    std::uint8_t R, G, B;
    friend bool operator==(TRgb, TRgb) = default;
};

class TRgbImage {
public:
    TRgbImage(int Width, int Height, TRgb Fill);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TRgb At(int X, int Y) const;
    void Set(int X, int Y, TRgb Colour);
    // The picture as a bottom-up 24-bit Windows bitmap (rows padded to 4 bytes).
    std::vector<std::uint8_t> EncodeBmp() const;
    // Writes EncodeBmp() to Path; false when the file cannot be written.
    bool SaveBmp(const std::filesystem::path& Path) const;

private:
    int FWidth, FHeight;
    std::vector<TRgb> Pixels;
};
