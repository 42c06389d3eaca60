#include "platform/vcl/DibSection.h"

#include "platform/image/BmpFile.h"
#include "platform/image/BmpImage.h"

#include <QDirIterator>
#include <QFile>
#include <QPainter>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

namespace {

std::uint32_t U16(const std::uint8_t* P) {
    return P[0] | P[1] << 8;
}
std::uint32_t U32(const std::uint8_t* P) {
    return P[0] | P[1] << 8 | P[2] << 16 | static_cast<std::uint32_t>(P[3]) << 24;
}

// Shift and width of a channel mask, for scaling its value to 8 bits.
struct TChannel {
    int Shift = 0;
    int Bits = 0;
    explicit TChannel(std::uint32_t Mask) {
        if (!Mask)
            return;
        while (!(Mask & 1u)) {
            Mask >>= 1;
            ++Shift;
        }
        while (Mask & 1u) {
            Mask >>= 1;
            ++Bits;
        }
    }
    std::uint32_t Of(std::uint32_t Pixel) const {
        if (!Bits)
            return 0;
        const std::uint32_t v = (Pixel >> Shift) & ((Bits >= 32 ? 0 : 1u << Bits) - 1u);
        if (Bits >= 8)
            return v >> (Bits - 8);
        // Narrow channels repeat their bits, so that full scale stays full scale.
        std::uint32_t wide = 0;
        int filled = 0;
        for (; filled < 8; filled += Bits)
            wide = wide << Bits | v;
        return wide >> (filled - 8);
    }
};

// A file the toolkit decodes: indexed results keep their colour table, as the loaders ask
// for it; the depth stays the one the file states.
bool DecodeCodedDib(const std::uint8_t* Data, std::size_t Size, const TBmpHeader& Header,
                    vcl::TDibSection& Dib) {
    const std::uint32_t bits = Header.BitCount;
    if (Header.Planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 24))
        return false;
    if (!Header.IsCore() && !(Header.Compression == kBmpRle8 && bits == 8) &&
        !(Header.Compression == kBmpRle4 && bits == 4))
        return false;
    QImage picture = ReadBmpImage(Data, Size, vcl::kMaxDibSide);
    if (picture.isNull())
        return false;
    picture = bits <= 8 ? picture.convertToFormat(QImage::Format_Indexed8)
                        : picture.convertToFormat(QImage::Format_RGB32);
    if (picture.isNull())
        return false;
    if (bits <= 8) {
        // Indices past a short table are black, as they draw on the platform.
        QList<QRgb> table = picture.colorTable();
        while (table.size() < (1 << bits))
            table.push_back(qRgb(0, 0, 0));
        picture.setColorTable(table);
    }
    Dib.Image = std::move(picture);
    Dib.BitCount = static_cast<WORD>(bits);
    return true;
}

} // namespace

namespace vcl {

bool DecodeDib(const std::uint8_t* Data, std::size_t Size, TDibSection& Dib) {
    TBmpHeader h;
    if (!Data || !ParseBmpHeader({Data, Size}, h))
        return false;
    // Run-length codes and the short header: the toolkit's reader, under the same limits.
    if (h.IsCore() || h.Compression == kBmpRle8 || h.Compression == kBmpRle4)
        return DecodeCodedDib(Data, Size, h, Dib);
    const std::int32_t width = h.Width;
    const std::int32_t rawHeight = h.RawHeight;
    const std::uint32_t bits = h.BitCount;
    if (width <= 0 || width > kMaxDibSide || rawHeight == 0 || rawHeight < -kMaxDibSide ||
        rawHeight > kMaxDibSide || h.Planes != 1)
        return false;
    const bool topDown = h.TopDown();
    const int height = static_cast<int>(h.Rows());
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (h.Compression != kBmpRgb && !(h.Compression == kBmpBitFields && (bits == 16 || bits == 32)))
        return false;

    std::uint32_t masks[3] = {0, 0, 0};
    if (h.Compression == kBmpBitFields) {
        if (!h.HasMasks)
            return false;
        std::copy(std::begin(h.Masks), std::end(h.Masks), masks);
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }

    QList<QRgb> table;
    if (bits <= 8) {
        const std::uint64_t entries = h.PaletteEntries();
        const std::size_t tableAt = h.PaletteAt;
        if (entries > (1u << bits) || tableAt > Size || (Size - tableAt) / 4 < entries)
            return false;
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint8_t* q = Data + tableAt + 4 * i;
            table.push_back(qRgb(q[2], q[1], q[0]));
        }
        // Indices past a short table are black, as they draw on the platform.
        while (table.size() < (1 << bits))
            table.push_back(qRgb(0, 0, 0));
    }

    const std::uint32_t offBits = h.OffBits;
    const std::uint64_t stride = h.Stride();
    if (!h.RowsFit(Size))
        return false;

    QImage image(width, height, bits <= 8 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (image.isNull())
        return false;
    if (bits <= 8)
        image.setColorTable(table);
    const TChannel r(masks[0]), g(masks[1]), b(masks[2]);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = Data + offBits + stride * (topDown ? y : height - 1 - y);
        std::uint8_t* out = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            switch (bits) {
            case 1:
                out[x] = (row[x / 8] >> (7 - x % 8)) & 1;
                break;
            case 4:
                out[x] = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
                break;
            case 8:
                out[x] = row[x];
                break;
            default: {
                std::uint32_t p;
                if (bits == 16)
                    p = U16(row + 2 * x);
                else if (bits == 24)
                    p = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
                else
                    p = U32(row + 4 * x);
                reinterpret_cast<QRgb*>(out)[x] =
                    qRgb(static_cast<int>(r.Of(p)), static_cast<int>(g.Of(p)),
                         static_cast<int>(b.Of(p)));
            }
            }
        }
    }
    Dib.Image = std::move(image);
    Dib.BitCount = static_cast<WORD>(bits);
    return true;
}

} // namespace vcl

namespace {

std::vector<std::uint8_t> ResourceBytes(const QString& Name) {
    for (QDirIterator it(":/bitmaps"); it.hasNext();) {
        const QString path = it.next();
        if (it.fileName().compare(Name, Qt::CaseInsensitive) != 0)
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = f.readAll();
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    return {};
}

std::vector<std::uint8_t> FileBytes(const char* Name) {
    std::ifstream f(Name, std::ios::binary);
    if (!f)
        return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f),
                                     std::istreambuf_iterator<char>());
}

} // namespace

HANDLE LoadImageA(HINSTANCE, LPCSTR Name, UINT Type, int cx, int cy, UINT Flags) {
    if (!Name || Type != IMAGE_BITMAP || cx != 0 || cy != 0)
        return nullptr;
    const std::vector<std::uint8_t> bytes =
        Flags & LR_LOADFROMFILE ? FileBytes(Name) : ResourceBytes(QString::fromUtf8(Name));
    auto dib = std::make_unique<vcl::TDibSection>();
    if (!vcl::DecodeDib(bytes.data(), bytes.size(), *dib))
        return nullptr;
    return dib.release();
}

int GetObjectA(HANDLE Object, int Size, LPVOID Out) {
    if (!Object || !Out || Size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    const auto* dib = static_cast<const vcl::TDibSection*>(Object);
    BITMAP bm;
    bm.bmWidth = dib->Image.width();
    bm.bmHeight = dib->Image.height();
    bm.bmWidthBytes = (bm.bmWidth * dib->BitCount + 15) / 16 * 2;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = dib->BitCount;
    *static_cast<BITMAP*>(Out) = bm;
    return sizeof(BITMAP);
}

BOOL DeleteObject(HBITMAP Bitmap) {
    delete Bitmap;
    return TRUE;
}

HDC CreateCompatibleDC(HDC) {
    return new vcl::TDeviceContext;
}

HBITMAP SelectObject(HDC Dc, HBITMAP Bitmap) {
    if (Dc && Bitmap)
        Dc->Target() = Bitmap->Image;
    return nullptr;
}

UINT GetDIBColorTable(HDC Dc, UINT Start, UINT Count, RGBQUAD* Colors) {
    if (!Dc || !Colors)
        return 0;
    const QList<QRgb> table = Dc->Target().colorTable();
    const auto size = static_cast<UINT>(table.size());
    UINT n = 0;
    for (UINT i = Start; i < size && n < Count; ++i, ++n)
        Colors[n] = {static_cast<BYTE>(qBlue(table[i])), static_cast<BYTE>(qGreen(table[i])),
                     static_cast<BYTE>(qRed(table[i])), 0};
    return n;
}

BOOL BitBlt(HDC Dst, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, DWORD Rop) {
    if (!Dst || !Src || Rop != SRCCOPY || Src->Target().isNull())
        return FALSE;
    QPainter* p = Dst->Painter();
    if (!p)
        return FALSE;
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->drawImage(QPoint(X, Y), Src->Target(), QRect(XSrc, YSrc, Width, Height));
    return TRUE;
}
