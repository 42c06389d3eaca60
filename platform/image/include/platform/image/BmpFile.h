#pragma once
// The bytes of a Windows bitmap file: its two headers read into one description, and a file
// written from a description and its rows. No pixel is decoded here; every reader of the game
// decides for itself which of the described files it accepts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::uint32_t kBmpCoreHeaderSize = 12; // the older short header
inline constexpr std::uint32_t kBmpInfoHeaderSize = 40;

inline constexpr std::uint32_t kBmpRgb = 0;
inline constexpr std::uint32_t kBmpRle8 = 1;
inline constexpr std::uint32_t kBmpRle4 = 2;
inline constexpr std::uint32_t kBmpBitFields = 3;

// Both headers as the file states them. Nothing is judged: a width of -5 or a colour count
// past the end of the file is reported as it is, for the reader to refuse.
struct TBmpHeader {
    std::uint32_t FileSize = 0;
    std::uint32_t OffBits = 0;
    std::uint32_t InfoSize = 0; // 12 for the short header, 40 or more otherwise
    std::int32_t Width = 0;
    std::int32_t RawHeight = 0; // negative: the top row is stored first
    std::uint16_t Planes = 0;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = kBmpRgb;
    std::uint32_t SizeImage = 0;
    std::uint32_t ClrUsed = 0;
    // Red, green and blue, for bit fields when the file holds them (HasMasks).
    std::uint32_t Masks[3] = {0, 0, 0};
    bool HasMasks = false;
    // Where the colour table starts, from the start of the file, and the bytes an entry takes.
    std::size_t PaletteAt = 0;
    std::size_t PaletteEntrySize = 4;

    bool IsCore() const { return InfoSize == kBmpCoreHeaderSize; }
    bool TopDown() const { return RawHeight < 0; }
    // The number of rows; 2^31 for the one height that has no positive counterpart.
    std::uint32_t Rows() const;
    // Bytes a stored row takes, padded to 4 bytes; 64 bits wide, so no width overflows it.
    std::uint64_t Stride() const;
    // The table's entries: ClrUsed, or all an index of BitCount bits can name when it is 0.
    std::uint64_t PaletteEntries() const;
    // Whether Size bytes hold every row of uncompressed pixels at OffBits.
    bool RowsFit(std::size_t Size) const;
};

// The file header alone: "BM" and 14 bytes. False when either is missing.
bool ReadBmpFileHeader(std::span<const std::uint8_t> Bytes, TBmpHeader& Header);
// The information header from its first byte, in the layout its size names (the short
// header's fields are widened). Only the fields themselves must be in Bytes: a header that
// says it is longer is read as far as the 40 bytes every longer header starts with. Masks are
// taken from within the header or right after a 40-byte one, when Bytes holds them.
bool ReadBmpInfoHeader(std::span<const std::uint8_t> Bytes, TBmpHeader& Header);
// A whole file held in memory: both headers, and the information header as long as it says
// must lie within File. False for anything else, with Header half filled.
bool ParseBmpHeader(std::span<const std::uint8_t> File, TBmpHeader& Header);

// What a written file says about its pixels.
struct TBmpShape {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // negative: the rows are given top row first
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = kBmpRgb;
    bool CoreHeader = false;
    // A longer information header (108 or 124 bytes, as newer paint programs write), with the
    // masks inside it; 0 for the 40-byte one with the masks after it.
    std::uint32_t LongHeaderSize = 0;
    bool StateImageSize = true;         // else the size field stays 0, which plain files may do
    std::int32_t PelsPerMeter = 2835;   // 72 dots an inch
    std::vector<std::uint32_t> Masks;   // red, green, blue, written after the header
    std::vector<std::uint32_t> Palette; // 0x00RRGGBB; the colour count states its size
};

// The 14 bytes of a file header.
void AppendBmpFileHeader(std::vector<std::uint8_t>& Out, std::uint32_t FileSize,
                         std::uint32_t OffBits);
// A whole file: headers, masks, colour table, then Pixels as given (rows in file order,
// padded or run-length encoded by the caller).
std::vector<std::uint8_t> EncodeBmpFile(const TBmpShape& Shape,
                                        std::span<const std::uint8_t> Pixels);
// Bytes a stored row of Width pixels of BitCount bits takes.
std::size_t BmpStride(int Width, int BitCount);
