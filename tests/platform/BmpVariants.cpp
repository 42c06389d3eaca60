#include "tests/platform/BmpVariants.h"

#include "platform/image/BmpFile.h"

#include <iterator>

namespace bmptest {

namespace {

struct TWriter {
    std::vector<std::uint8_t> Bytes;
    void U8(unsigned V) { Bytes.push_back(std::uint8_t(V)); }
    void U16(unsigned V) {
        U8(V & 0xFF);
        U8(V >> 8);
    }
    void U32(std::uint32_t V) {
        U16(V & 0xFFFF);
        U16(V >> 16);
    }
};

// How each form is written: its depth, compression, information header (12, 40 or longer),
// row order and, for bit fields, its masks.
struct TFormLayout {
    TBmpForm Form;
    int Bits;
    std::uint32_t Compression;
    std::uint32_t InfoSize;
    bool TopDown;
    std::uint32_t Masks[3];
};
constexpr TFormLayout kLayouts[] = {
    {TBmpForm::Plain8, 8, kBmpRgb, 40, false, {}},
    {TBmpForm::Rle8, 8, kBmpRle8, 40, false, {}},
    {TBmpForm::TopDown8, 8, kBmpRgb, 40, true, {}},
    {TBmpForm::Plain4, 4, kBmpRgb, 40, false, {}},
    {TBmpForm::Rle4, 4, kBmpRle4, 40, false, {}},
    {TBmpForm::Plain16, 16, kBmpRgb, 40, false, {}},
    {TBmpForm::Masked565, 16, kBmpBitFields, 40, false, {0xF800, 0x07E0, 0x001F}},
    {TBmpForm::Core24, 24, kBmpRgb, 12, false, {}},
    {TBmpForm::Masked32, 32, kBmpBitFields, 40, false, {0xFF0000, 0x00FF00, 0x0000FF}},
    {TBmpForm::LongHeader32, 32, kBmpBitFields, 124, false, {0xFF0000, 0x00FF00, 0x0000FF}},
    {TBmpForm::Core8, 8, kBmpRgb, 12, false, {}},
    {TBmpForm::Core4, 4, kBmpRgb, 12, false, {}},
    {TBmpForm::Rle8V2Header, 8, kBmpRle8, 52, false, {}},
    {TBmpForm::Rle4V3Header, 4, kBmpRle4, 56, false, {}},
    {TBmpForm::TopDown16, 16, kBmpRgb, 40, true, {}},
    {TBmpForm::TopDownMasked565V3Header, 16, kBmpBitFields, 56, true, {0xF800, 0x07E0, 0x001F}},
    {TBmpForm::Masked101010, 32, kBmpBitFields, 40, false, {0x3FF00000, 0x000FFC00, 0x000003FF}},
    {TBmpForm::TopDown24V4Header, 24, kBmpRgb, 108, true, {}},
};

constexpr std::uint32_t k555[3] = {0x7C00, 0x03E0, 0x001F};
constexpr std::uint32_t k888[3] = {0xFF0000, 0x00FF00, 0x0000FF};

const TFormLayout& LayoutOf(TBmpForm Form) {
    for (const TFormLayout& s : kLayouts)
        if (s.Form == Form)
            return s;
    return kLayouts[0];
}

// An 8-bit channel in the bits Mask names: narrower ones keep their top bits, wider ones
// repeat them, so that 0 and 255 stay the ends of the scale.
std::uint32_t Pack(std::uint32_t Channel, std::uint32_t Mask) {
    if (!Mask)
        return 0;
    int shift = 0, bits = 0;
    while (!((Mask >> shift) & 1))
        ++shift;
    while (shift + bits < 32 && ((Mask >> (shift + bits)) & 1))
        ++bits;
    std::uint32_t v = bits <= 8 ? Channel >> (8 - bits) : 0;
    for (int filled = 0; bits > 8 && filled < bits; filled += 8)
        v = v << 8 | Channel;
    if (bits > 8)
        v >>= (bits + 7) / 8 * 8 - bits;
    return v << shift;
}

std::uint32_t PackPixel(std::uint32_t C, const std::uint32_t (&Masks)[3]) {
    return Pack(C >> 16, Masks[0]) | Pack((C >> 8) & 0xFF, Masks[1]) | Pack(C & 0xFF, Masks[2]);
}

// One row of indices in the 8-bit run-length code: repeats as runs, other stretches of three
// or more as absolute blocks (padded to a 16-bit boundary), single odd bytes as runs of one.
void Rle8Row(TWriter& W, const std::uint8_t* Row, int Width) {
    int x = 0;
    while (x < Width) {
        int run = 1;
        while (x + run < Width && run < 255 && Row[x + run] == Row[x])
            ++run;
        if (run >= 2) {
            W.U8(unsigned(run));
            W.U8(Row[x]);
            x += run;
            continue;
        }
        int n = 1;
        while (x + n < Width && n < 255 && !(x + n + 1 < Width && Row[x + n] == Row[x + n + 1]))
            ++n;
        if (n < 3) {
            for (int i = 0; i < n; ++i) {
                W.U8(1);
                W.U8(Row[x + i]);
            }
        } else {
            W.U8(0);
            W.U8(unsigned(n));
            for (int i = 0; i < n; ++i)
                W.U8(Row[x + i]);
            if (n & 1)
                W.U8(0);
        }
        x += n;
    }
}

// One row in the 4-bit run-length code: runs of one colour, two pixels to the byte.
void Rle4Row(TWriter& W, const std::uint8_t* Row, int Width) {
    int x = 0;
    while (x < Width) {
        int run = 1;
        while (x + run < Width && run < 255 && Row[x + run] == Row[x])
            ++run;
        W.U8(unsigned(run));
        W.U8(unsigned(Row[x] << 4 | Row[x]));
        x += run;
    }
}

} // namespace

std::vector<std::uint8_t> EncodeBmpForm(const TIndexedPicture& P, TBmpForm Form) {
    const TFormLayout& layout = LayoutOf(Form);
    const int bits = layout.Bits;
    const bool rle = layout.Compression == kBmpRle8 || layout.Compression == kBmpRle4;
    const bool topDown = layout.TopDown;
    TBmpShape shape;
    shape.Width = P.Width;
    shape.Height = topDown ? -P.Height : P.Height;
    shape.BitCount = std::uint16_t(bits);
    shape.CoreHeader = layout.InfoSize == kBmpCoreHeaderSize;
    shape.LongHeaderSize = layout.InfoSize > kBmpInfoHeaderSize ? layout.InfoSize : 0;
    shape.Compression = layout.Compression;
    // Plain files leave the image size 0, as many programs write them.
    shape.StateImageSize = rle;
    if (layout.Compression == kBmpBitFields)
        shape.Masks.assign(std::begin(layout.Masks), std::end(layout.Masks));
    // Without masks of their own, 16 bits are 5-5-5 and 24 and 32 bits 8-8-8.
    const std::uint32_t(&masks)[3] = layout.Compression == kBmpBitFields ? layout.Masks
                                     : bits == 16                        ? k555
                                                                         : k888;
    if (bits <= 8) {
        shape.Palette = P.Palette;
        // The short header has no colour count: its table is as long as an index can name.
        if (shape.CoreHeader)
            shape.Palette.resize(std::size_t{1} << bits, 0);
    }
    TWriter w;
    for (int row = 0; row < P.Height; ++row) {
        const int y = topDown ? row : P.Height - 1 - row;
        const std::uint8_t* index = P.Index.data() + std::size_t(y) * P.Width;
        if (rle) {
            (bits == 8 ? Rle8Row : Rle4Row)(w, index, P.Width);
            w.U8(0);
            w.U8(row + 1 == P.Height ? 1 : 0); // end of the bitmap, else of the line
            continue;
        }
        const std::size_t start = w.Bytes.size();
        for (int x = 0; x < P.Width; ++x) {
            const std::uint32_t c = PackPixel(P.Palette[index[x]], masks);
            switch (bits) {
            case 4:
                if (x & 1)
                    w.Bytes.back() |= index[x];
                else
                    w.U8(unsigned(index[x]) << 4);
                break;
            case 8:
                w.U8(index[x]);
                break;
            case 16:
                w.U16(c);
                break;
            case 24:
                w.U8(c & 0xFF);
                w.U8((c >> 8) & 0xFF);
                w.U8(c >> 16);
                break;
            default:
                w.U32(c);
                break;
            }
        }
        while ((w.Bytes.size() - start) % 4)
            w.U8(0);
    }
    return EncodeBmpFile(shape, w.Bytes);
}

TIndexedPicture BandedPicture(int Width, int Height) {
    TIndexedPicture p;
    p.Width = Width;
    p.Height = Height;
    p.Palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};
    p.Index.resize(std::size_t(Width) * Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            // Wide bands, with a speckled stretch that has no repeats at all.
            const int band = (x / 9 + y / 11) % 8;
            const bool speckled = x >= Width / 2 && x < Width / 2 + 7 && y % 3 == 0;
            p.Index[std::size_t(y) * Width + x] = std::uint8_t(speckled ? (x + y) % 8 : band);
        }
    return p;
}

} // namespace bmptest
