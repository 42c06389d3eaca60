#include "tests/platform/BmpVariants.h"

#include "platform/image/BmpFile.h"

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

int BitsOf(TBmpForm Form) {
    switch (Form) {
    case TBmpForm::Plain4:
    case TBmpForm::Rle4:
        return 4;
    case TBmpForm::Plain16:
    case TBmpForm::Masked565:
        return 16;
    case TBmpForm::Core24:
        return 24;
    case TBmpForm::Masked32:
    case TBmpForm::LongHeader32:
        return 32;
    default:
        return 8;
    }
}

std::uint32_t Pack565(std::uint32_t C) {
    return ((C >> 19) & 0x1F) << 11 | ((C >> 10) & 0x3F) << 5 | ((C >> 3) & 0x1F);
}
std::uint32_t Pack555(std::uint32_t C) {
    return ((C >> 19) & 0x1F) << 10 | ((C >> 11) & 0x1F) << 5 | ((C >> 3) & 0x1F);
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
    const int bits = BitsOf(Form);
    const bool rle = Form == TBmpForm::Rle8 || Form == TBmpForm::Rle4;
    const bool topDown = Form == TBmpForm::TopDown8;
    TBmpShape shape;
    shape.Width = P.Width;
    shape.Height = topDown ? -P.Height : P.Height;
    shape.BitCount = std::uint16_t(bits);
    shape.CoreHeader = Form == TBmpForm::Core24;
    const bool masked32 = Form == TBmpForm::Masked32 || Form == TBmpForm::LongHeader32;
    shape.LongHeaderSize = Form == TBmpForm::LongHeader32 ? 124 : 0;
    shape.Compression = Form == TBmpForm::Masked565 || masked32 ? kBmpBitFields
                        : Form == TBmpForm::Rle8                ? kBmpRle8
                        : Form == TBmpForm::Rle4                ? kBmpRle4
                                                                : kBmpRgb;
    // Plain files leave the image size 0, as many programs write them.
    shape.StateImageSize = rle;
    if (Form == TBmpForm::Masked565)
        shape.Masks = {0xF800, 0x07E0, 0x001F};
    else if (masked32)
        shape.Masks = {0xFF0000, 0x00FF00, 0x0000FF};
    if (bits <= 8)
        shape.Palette = P.Palette;
    TWriter w;
    for (int row = 0; row < P.Height; ++row) {
        const int y = topDown ? row : P.Height - 1 - row;
        const std::uint8_t* index = P.Index.data() + std::size_t(y) * P.Width;
        if (rle) {
            (Form == TBmpForm::Rle8 ? Rle8Row : Rle4Row)(w, index, P.Width);
            w.U8(0);
            w.U8(row + 1 == P.Height ? 1 : 0); // end of the bitmap, else of the line
            continue;
        }
        const std::size_t start = w.Bytes.size();
        for (int x = 0; x < P.Width; ++x) {
            const std::uint32_t c = P.Palette[index[x]];
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
                w.U16(Form == TBmpForm::Masked565 ? Pack565(c) : Pack555(c));
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
    p.Palette = {0x000000, 0xF80000, 0x00F800, 0x0000F8, 0xF8F800, 0x80F8F8, 0xF880F8, 0xF8F8F8};
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
