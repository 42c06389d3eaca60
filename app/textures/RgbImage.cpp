#include "RgbImage.h"

#include "platform/image/BmpFile.h"

#include <cassert>
#include <fstream>

TRgbImage::TRgbImage(int Width, int Height, TRgb Fill)
    : FWidth(Width), FHeight(Height), Pixels(static_cast<std::size_t>(Width) * Height, Fill) {
    assert(Width > 0 && Height > 0);
}

TRgb TRgbImage::At(int X, int Y) const {
    assert(X >= 0 && X < FWidth && Y >= 0 && Y < FHeight);
    return Pixels[static_cast<std::size_t>(Y) * FWidth + X];
}

void TRgbImage::Set(int X, int Y, TRgb Colour) {
    assert(X >= 0 && X < FWidth && Y >= 0 && Y < FHeight);
    Pixels[static_cast<std::size_t>(Y) * FWidth + X] = Colour;
}

std::vector<std::uint8_t> TRgbImage::EncodeBmp() const {
    const std::size_t pitch = BmpStride(FWidth, 24);
    std::vector<std::uint8_t> rows;
    rows.reserve(pitch * static_cast<std::size_t>(FHeight));
    for (int y = FHeight - 1; y >= 0; --y) { // bottom row first
        const std::size_t start = rows.size();
        for (int x = 0; x < FWidth; ++x) {
            const TRgb p = At(x, y);
            rows.push_back(p.B);
            rows.push_back(p.G);
            rows.push_back(p.R);
        }
        rows.resize(start + pitch, 0);
    }
    TBmpShape shape;
    shape.Width = FWidth;
    shape.Height = FHeight;
    shape.BitCount = 24;
    return EncodeBmpFile(shape, rows);
}

bool TRgbImage::SaveBmp(const std::filesystem::path& Path) const {
    const std::vector<std::uint8_t> bytes = EncodeBmp();
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}
