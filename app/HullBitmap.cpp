#include "app/HullBitmap.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kOffBitsAt = 10;
constexpr std::size_t kBitCountAt = 14; // within the info header
constexpr std::size_t kWidthAt = 4;
constexpr std::size_t kHeightAt = 8;
constexpr std::size_t kSizeImageAt = 20;
constexpr std::size_t kClrUsedAt = 32;

std::uint32_t U32(const std::uint8_t* P) {
    return static_cast<std::uint32_t>(P[0]) | static_cast<std::uint32_t>(P[1]) << 8 |
           static_cast<std::uint32_t>(P[2]) << 16 | static_cast<std::uint32_t>(P[3]) << 24;
}
std::int32_t I32(const std::uint8_t* P) {
    return static_cast<std::int32_t>(U32(P));
}
std::uint16_t U16(const std::uint8_t* P) {
    return static_cast<std::uint16_t>(P[0] | P[1] << 8);
}
void Put32(std::uint8_t* P, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        P[i] = static_cast<std::uint8_t>(V >> (8 * i));
}

} // namespace

std::optional<THullBitmap> ParseHullBitmap(std::span<const std::uint8_t> File) {
    if (File.size() < kFileHeaderSize + kInfoHeaderSize || File[0] != 'B' || File[1] != 'M')
        return std::nullopt;
    const std::uint8_t* info = File.data() + kFileHeaderSize;
    if (U32(info) != kInfoHeaderSize)
        return std::nullopt;
    const std::int32_t clrUsed = I32(info + kClrUsedAt);
    const std::uint16_t bitCount = U16(info + kBitCountAt);
    if (clrUsed < 0)
        return std::nullopt;
    std::int64_t colours = clrUsed;
    if ((clrUsed == 0 || clrUsed > 256) && bitCount != 24) {
        // Beyond 16 bits no file could hold the palette anyway.
        if (bitCount > 16)
            return std::nullopt;
        colours = std::int64_t{1} << bitCount;
    }
    std::int64_t imageSize = I32(info + kSizeImageAt);
    if (imageSize <= 0) {
        // Worked out wide, then kept only if it fits the 32-bit field it goes back into.
        const std::int64_t rowBits = std::int64_t{bitCount} * I32(info + kWidthAt) + 31;
        imageSize = rowBits / 32 * 4 * I32(info + kHeightAt);
    }
    if (imageSize <= 0 || imageSize > INT32_MAX)
        return std::nullopt;
    const std::uint64_t paletteEnd =
        kFileHeaderSize + kInfoHeaderSize + static_cast<std::uint64_t>(colours) * 4;
    const std::uint64_t offBits = U32(File.data() + kOffBitsAt);
    if (paletteEnd > File.size() || offBits + static_cast<std::uint64_t>(imageSize) > File.size())
        return std::nullopt;

    THullBitmap b;
    b.ColourCount = static_cast<std::int32_t>(colours);
    b.ImageSize = static_cast<std::int32_t>(imageSize);
    b.InfoAndPalette.assign(File.begin() + kFileHeaderSize, File.begin() + paletteEnd);
    Put32(b.InfoAndPalette.data() + kClrUsedAt, static_cast<std::uint32_t>(b.ColourCount));
    Put32(b.InfoAndPalette.data() + kSizeImageAt, static_cast<std::uint32_t>(b.ImageSize));
    b.Pixels.assign(File.begin() + static_cast<std::ptrdiff_t>(offBits),
                    File.begin() + static_cast<std::ptrdiff_t>(offBits + imageSize));
    return b;
}

std::optional<THullBitmap> ReadHullBitmap(const std::string& FileName) {
    if (FileName.empty())
        return std::nullopt;
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    return ParseHullBitmap(bytes);
}

bool IsExchangeableHullBitmap(const THullBitmap& Bitmap) {
    if (Bitmap.InfoAndPalette.size() < kInfoHeaderSize)
        return false;
    const std::uint8_t* info = Bitmap.InfoAndPalette.data();
    return U16(info + kBitCountAt) == 24 && I32(info + kWidthAt) == 128 &&
           I32(info + kHeightAt) == 128 && Bitmap.ImageSize == 128 * 128 * 3;
}

bool WriteHullBitmap(const std::string& FileName, const THullBitmap& Template,
                     std::span<const std::uint8_t> Pixels) {
    if (Pixels.size() != static_cast<std::size_t>(Template.ImageSize))
        return false;
    const auto offBits =
        static_cast<std::uint32_t>(kFileHeaderSize + Template.InfoAndPalette.size());
    std::uint8_t header[kFileHeaderSize] = {'B', 'M'};
    Put32(header + 2, offBits + static_cast<std::uint32_t>(Template.ImageSize));
    Put32(header + kOffBitsAt, offBits);

    namespace fs = std::filesystem;
    const fs::path target(FileName);
    const fs::path temp =
        target.parent_path() / (target.filename().string() + ".part" + std::to_string(getpid()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header), sizeof header);
        out.write(reinterpret_cast<const char*>(Template.InfoAndPalette.data()),
                  static_cast<std::streamsize>(Template.InfoAndPalette.size()));
        out.write(reinterpret_cast<const char*>(Pixels.data()),
                  static_cast<std::streamsize>(Pixels.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}
