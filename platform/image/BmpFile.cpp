#include "platform/image/BmpFile.h"

#include <algorithm>

namespace {

std::uint32_t U16(const std::uint8_t* P) {
    return static_cast<std::uint32_t>(P[0]) | static_cast<std::uint32_t>(P[1]) << 8;
}
std::uint32_t U32(const std::uint8_t* P) {
    return U16(P) | U16(P + 2) << 16;
}

void Put(std::vector<std::uint8_t>& Out, std::uint32_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

// The masks sit right after a 40-byte header, and inside every longer one at the same place.
constexpr std::size_t kMasksBytes = 12;

} // namespace

std::uint32_t TBmpHeader::Rows() const {
    return RawHeight < 0 ? 0u - static_cast<std::uint32_t>(RawHeight)
                         : static_cast<std::uint32_t>(RawHeight);
}

std::uint64_t TBmpHeader::Stride() const {
    const std::uint64_t width = Width < 0 ? 0 : static_cast<std::uint64_t>(Width);
    return (width * BitCount + 31) / 32 * 4;
}

std::uint64_t TBmpHeader::PaletteEntries() const {
    if (ClrUsed != 0)
        return ClrUsed;
    return BitCount <= 8 ? std::uint64_t{1} << BitCount : 0;
}

bool TBmpHeader::RowsFit(std::size_t Size) const {
    const std::uint64_t stride = Stride();
    return OffBits <= Size && (stride == 0 || (Size - OffBits) / stride >= Rows());
}

bool ReadBmpFileHeader(std::span<const std::uint8_t> Bytes, TBmpHeader& Header) {
    if (Bytes.size() < kBmpFileHeaderSize || Bytes[0] != 'B' || Bytes[1] != 'M')
        return false;
    Header.FileSize = U32(Bytes.data() + 2);
    Header.OffBits = U32(Bytes.data() + 10);
    return true;
}

bool ReadBmpInfoHeader(std::span<const std::uint8_t> Bytes, TBmpHeader& Header) {
    if (Bytes.size() < 4)
        return false;
    const std::uint8_t* p = Bytes.data();
    Header.InfoSize = U32(p);
    Header.HasMasks = false;
    if (Header.InfoSize == kBmpCoreHeaderSize) {
        if (Bytes.size() < kBmpCoreHeaderSize)
            return false;
        Header.Width = static_cast<std::int32_t>(U16(p + 4));
        Header.RawHeight = static_cast<std::int32_t>(U16(p + 6));
        Header.Planes = static_cast<std::uint16_t>(U16(p + 8));
        Header.BitCount = static_cast<std::uint16_t>(U16(p + 10));
        Header.Compression = kBmpRgb;
        Header.SizeImage = 0;
        Header.ClrUsed = 0;
        Header.PaletteAt = kBmpFileHeaderSize + kBmpCoreHeaderSize;
        Header.PaletteEntrySize = 3;
        return true;
    }
    if (Bytes.size() < kBmpInfoHeaderSize)
        return false;
    Header.Width = static_cast<std::int32_t>(U32(p + 4));
    Header.RawHeight = static_cast<std::int32_t>(U32(p + 8));
    Header.Planes = static_cast<std::uint16_t>(U16(p + 12));
    Header.BitCount = static_cast<std::uint16_t>(U16(p + 14));
    Header.Compression = U32(p + 16);
    Header.SizeImage = U32(p + 20);
    Header.ClrUsed = U32(p + 32);
    Header.PaletteAt = kBmpFileHeaderSize + std::size_t{Header.InfoSize};
    Header.PaletteEntrySize = 4;
    if (Header.Compression == kBmpBitFields) {
        // A 40-byte header is followed by its masks, and the colour table comes after them.
        if (Header.InfoSize == kBmpInfoHeaderSize)
            Header.PaletteAt += kMasksBytes;
        if (Bytes.size() >= kBmpInfoHeaderSize + kMasksBytes) {
            for (int i = 0; i < 3; ++i)
                Header.Masks[i] = U32(p + kBmpInfoHeaderSize + 4 * i);
            Header.HasMasks = true;
        }
    }
    return true;
}

bool ParseBmpHeader(std::span<const std::uint8_t> File, TBmpHeader& Header) {
    if (!ReadBmpFileHeader(File, Header))
        return false;
    const std::span<const std::uint8_t> info = File.subspan(kBmpFileHeaderSize);
    if (info.size() < 4)
        return false;
    const std::uint32_t infoSize = U32(info.data());
    if (infoSize != kBmpCoreHeaderSize && infoSize < kBmpInfoHeaderSize)
        return false;
    if (infoSize > info.size())
        return false;
    return ReadBmpInfoHeader(info, Header);
}

void AppendBmpFileHeader(std::vector<std::uint8_t>& Out, std::uint32_t FileSize,
                         std::uint32_t OffBits) {
    Out.push_back('B');
    Out.push_back('M');
    Put(Out, FileSize, 4);
    Put(Out, 0, 4);
    Put(Out, OffBits, 4);
}

std::vector<std::uint8_t> EncodeBmpFile(const TBmpShape& S, std::span<const std::uint8_t> Pixels) {
    const std::size_t entry = S.CoreHeader ? 3 : 4;
    const bool longHeader = !S.CoreHeader && S.LongHeaderSize > kBmpInfoHeaderSize;
    const std::uint32_t infoSize = S.CoreHeader ? kBmpCoreHeaderSize
                                   : longHeader ? S.LongHeaderSize
                                                : kBmpInfoHeaderSize;
    const std::size_t offBits = kBmpFileHeaderSize + infoSize +
                                (longHeader ? 0 : 4 * S.Masks.size()) + entry * S.Palette.size();
    std::vector<std::uint8_t> out;
    out.reserve(offBits + Pixels.size());
    AppendBmpFileHeader(out, static_cast<std::uint32_t>(offBits + Pixels.size()),
                        static_cast<std::uint32_t>(offBits));
    if (S.CoreHeader) {
        Put(out, kBmpCoreHeaderSize, 4);
        Put(out, static_cast<std::uint32_t>(S.Width), 2);
        Put(out, static_cast<std::uint32_t>(S.Height), 2);
        Put(out, 1, 2);
        Put(out, S.BitCount, 2);
    } else {
        Put(out, infoSize, 4);
        Put(out, static_cast<std::uint32_t>(S.Width), 4);
        Put(out, static_cast<std::uint32_t>(S.Height), 4);
        Put(out, 1, 2);
        Put(out, S.BitCount, 2);
        Put(out, S.Compression, 4);
        Put(out, S.StateImageSize ? static_cast<std::uint32_t>(Pixels.size()) : 0, 4);
        Put(out, static_cast<std::uint32_t>(S.PelsPerMeter), 4);
        Put(out, static_cast<std::uint32_t>(S.PelsPerMeter), 4);
        Put(out, static_cast<std::uint32_t>(S.Palette.size()), 4);
        Put(out, 0, 4); // every colour matters
    }
    for (std::uint32_t m : S.Masks)
        Put(out, m, 4);
    // The rest of a longer header: no alpha mask, and the colour space fields left zero.
    out.resize(std::max(out.size(), kBmpFileHeaderSize + infoSize), 0);
    // 0x00RRGGBB little-endian is blue, green, red and a zero byte the short header leaves out.
    for (std::uint32_t c : S.Palette)
        Put(out, c, static_cast<int>(entry));
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    return out;
}

std::size_t BmpStride(int Width, int BitCount) {
    return (static_cast<std::size_t>(Width) * static_cast<std::size_t>(BitCount) + 31) / 32 * 4;
}
