#include "platform/vcl/DibSection.h"

#include "platform/image/BmpPicture.h"

#include <QDirIterator>
#include <QFile>
#include <QPainter>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace vcl {

bool DecodeDib(const std::uint8_t* Data, std::size_t Size, TDibSection& Dib) {
    TBmpPicture picture;
    if (!Data || !DecodeBmpPicture({Data, Size}, kMaxDibSide, picture))
        return false;
    const int width = picture.Width, height = picture.Height;
    QImage image(width, height, picture.Indexed() ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (image.isNull())
        return false;
    if (picture.Indexed()) {
        QList<QRgb> table;
        for (std::uint32_t c : picture.Palette)
            table.push_back(0xFF000000u | c);
        image.setColorTable(table);
    }
    for (int y = 0; y < height; ++y) {
        const std::size_t first = std::size_t(y) * std::size_t(width);
        if (picture.Indexed())
            std::memcpy(image.scanLine(y), picture.Index.data() + first, std::size_t(width));
        else
            for (int x = 0; x < width; ++x)
                reinterpret_cast<QRgb*>(image.scanLine(y))[x] =
                    0xFF000000u | picture.Rgb[first + x];
    }
    Dib.Image = std::move(image);
    Dib.BitCount = picture.BitCount;
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
