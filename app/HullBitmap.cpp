#include "HullBitmap.h"

#include "platform/image/BmpFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

constexpr std::size_t kSizeImageAt = 20; // within the info header
constexpr std::size_t kClrUsedAt = 32;

void Put32(std::uint8_t* P, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        P[i] = static_cast<std::uint8_t>(V >> (8 * i));
}

} // namespace

// The players' exchange keeps its own rules on top of the headers: a 40-byte header only, a
// colour count and image size worked out as the exchange has always done.
std::optional<THullBitmap> ParseHullBitmap(std::span<const std::uint8_t> File) {
    TBmpHeader h;
    if (File.size() < kBmpFileHeaderSize + kBmpInfoHeaderSize || !ParseBmpHeader(File, h) ||
        h.InfoSize != kBmpInfoHeaderSize)
        return std::nullopt;
    const auto clrUsed = static_cast<std::int32_t>(h.ClrUsed);
    const std::uint16_t bitCount = h.BitCount;
    if (clrUsed < 0)
        return std::nullopt;
    std::int64_t colours = clrUsed;
    if ((clrUsed == 0 || clrUsed > 256) && bitCount != 24) {
        // Beyond 16 bits no file could hold the palette anyway.
        if (bitCount > 16)
            return std::nullopt;
        colours = std::int64_t{1} << bitCount;
    }
    std::int64_t imageSize = static_cast<std::int32_t>(h.SizeImage);
    if (imageSize <= 0) {
        // Worked out wide, then kept only if it fits the 32-bit field it goes back into.
        const std::int64_t rowBits = std::int64_t{bitCount} * h.Width + 31;
        imageSize = rowBits / 32 * 4 * h.RawHeight;
    }
    if (imageSize <= 0 || imageSize > INT32_MAX)
        return std::nullopt;
    const std::uint64_t paletteEnd =
        kBmpFileHeaderSize + kBmpInfoHeaderSize + static_cast<std::uint64_t>(colours) * 4;
    const std::uint64_t offBits = h.OffBits;
    if (paletteEnd > File.size() || offBits + static_cast<std::uint64_t>(imageSize) > File.size())
        return std::nullopt;

    THullBitmap b;
    b.ColourCount = static_cast<std::int32_t>(colours);
    b.ImageSize = static_cast<std::int32_t>(imageSize);
    b.InfoAndPalette.assign(File.begin() + kBmpFileHeaderSize, File.begin() + paletteEnd);
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
    TBmpHeader h;
    if (Bitmap.InfoAndPalette.size() < kBmpInfoHeaderSize ||
        !ReadBmpInfoHeader(Bitmap.InfoAndPalette, h))
        return false;
    return h.BitCount == 24 && h.Width == 128 && h.RawHeight == 128 &&
           Bitmap.ImageSize == 128 * 128 * 3;
}

bool WriteHullBitmap(const std::string& FileName, const THullBitmap& Template,
                     std::span<const std::uint8_t> Pixels) {
    if (Pixels.size() != static_cast<std::size_t>(Template.ImageSize))
        return false;
    const auto offBits =
        static_cast<std::uint32_t>(kBmpFileHeaderSize + Template.InfoAndPalette.size());
    std::vector<std::uint8_t> header;
    AppendBmpFileHeader(header, offBits + static_cast<std::uint32_t>(Template.ImageSize), offBits);

    namespace fs = std::filesystem;
    const fs::path target(FileName);
    const fs::path temp =
        target.parent_path() / (target.filename().string() + ".part" + std::to_string(getpid()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()),
                  static_cast<std::streamsize>(header.size()));
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
