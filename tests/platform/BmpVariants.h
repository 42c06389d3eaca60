#pragma once
// Writes one picture in each of the bitmap forms paint programs save: palettised at 4 and 8
// bits, plain or run-length encoded, 16 bits plain or with masks, 24 bits, 32 bits with masks
// of 8 or 10 bits a channel, with the older short header or a 40-, 52-, 56-, 108- or 124-byte
// one, bottom-up or top-down.

#include <cstdint>
#include <string>
#include <vector>

namespace bmptest {

// Palette indices, the top row first as seen; at most 16 colours of 0x00RRGGBB.
struct TIndexedPicture {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Palette;
    std::vector<std::uint8_t> Index;
    std::uint32_t At(int X, int Y) const { return Palette[Index[std::size_t(Y) * Width + X]]; }
};

enum class TBmpForm {
    Plain8,
    Rle8,
    TopDown8,
    Plain4,
    Rle4,
    Plain16,
    Masked565,
    Core24,
    Masked32,
    LongHeader32,
    Core8,
    Core4,
    Rle8V2Header,
    Rle4V3Header,
    TopDown16,
    TopDownMasked565V3Header,
    Masked101010,
    TopDown24V4Header
};

struct TBmpFormInfo {
    TBmpForm Form;
    const char* Name;
};
inline constexpr TBmpFormInfo kBmpForms[] = {
    {TBmpForm::Plain8, "8-bit"},
    {TBmpForm::Rle8, "RLE8"},
    {TBmpForm::TopDown8, "8-bit top-down"},
    {TBmpForm::Plain4, "4-bit"},
    {TBmpForm::Rle4, "RLE4"},
    {TBmpForm::Plain16, "16-bit 5-5-5"},
    {TBmpForm::Masked565, "16-bit 5-6-5 masks"},
    {TBmpForm::Core24, "24-bit short header"},
    {TBmpForm::Masked32, "32-bit masks"},
    {TBmpForm::LongHeader32, "32-bit masks in a 124-byte header"},
    {TBmpForm::Core8, "8-bit short header"},
    {TBmpForm::Core4, "4-bit short header"},
    {TBmpForm::Rle8V2Header, "RLE8 in a 52-byte header"},
    {TBmpForm::Rle4V3Header, "RLE4 in a 56-byte header"},
    {TBmpForm::TopDown16, "16-bit 5-5-5 top-down"},
    {TBmpForm::TopDownMasked565V3Header, "16-bit 5-6-5 masks top-down in a 56-byte header"},
    {TBmpForm::Masked101010, "32-bit 10-10-10 masks"},
    {TBmpForm::TopDown24V4Header, "24-bit top-down in a 108-byte header"},
};

std::vector<std::uint8_t> EncodeBmpForm(const TIndexedPicture& Picture, TBmpForm Form);

// Bands of eight colours whose channels are 0 or 255, which every form above keeps exactly
// (full scale stays full scale at any channel width), in runs long and short enough for both
// kinds of run-length codes.
TIndexedPicture BandedPicture(int Width, int Height);

} // namespace bmptest
