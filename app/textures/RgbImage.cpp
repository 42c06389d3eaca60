#include "app/textures/RgbImage.h"

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

namespace {

void Put16(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    Out.push_back(static_cast<std::uint8_t>(Value));
    Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}

void Put32(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    Put16(Out, Value & 0xFFFF);
    Put16(Out, Value >> 16);
}

} // namespace

std::vector<std::uint8_t> TRgbImage::EncodeBmp() const {
    constexpr std::uint32_t kHeaders = 14 + 40;
    const std::uint32_t pitch = (static_cast<std::uint32_t>(FWidth) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = pitch * static_cast<std::uint32_t>(FHeight);
    std::vector<std::uint8_t> out;
    out.reserve(kHeaders + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, kHeaders + imageSize);
    Put32(out, 0);
    Put32(out, kHeaders);
    Put32(out, 40); // BITMAPINFOHEADER
    Put32(out, static_cast<std::uint32_t>(FWidth));
    Put32(out, static_cast<std::uint32_t>(FHeight)); // positive: bottom row first
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0); // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = FHeight - 1; y >= 0; --y) {
        for (int x = 0; x < FWidth; ++x) {
            const TRgb p = At(x, y);
            out.push_back(p.B);
            out.push_back(p.G);
            out.push_back(p.R);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(FWidth) * 3; pad < pitch; ++pad)
            out.push_back(0);
    }
    return out;
}

bool TRgbImage::SaveBmp(const std::filesystem::path& Path) const {
    const std::vector<std::uint8_t> bytes = EncodeBmp();
    std::ofstream file(Path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}
