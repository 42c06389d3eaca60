#include "platform/d3drm/BmpPictureReader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <limits>

bool ReadBmpPicture(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    if (DecodeBmp(Data, Size, Image))
        return true;
    // Only bitmap files: the toolkit would read other picture formats too, which the game
    // neither offers nor sends.
    if (!Data || Size < 2 || Data[0] != 'B' || Data[1] != 'M' ||
        Size > std::size_t(std::numeric_limits<int>::max()))
        return false;
    QBuffer buffer;
    buffer.setData(
        QByteArray::fromRawData(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size)));
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    // The size is in the header: a picture too large is refused before it is allocated.
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxTextureSide ||
        size.height() > kMaxTextureSide)
        return false;
    QImage picture;
    if (!reader.read(&picture) || picture.size() != size)
        return false;
    // Straight (not premultiplied) colours: an alpha channel a painter left in is not ours.
    picture.convertTo(QImage::Format_ARGB32);
    TTexImage out;
    out.Width = picture.width();
    out.Height = picture.height();
    out.Texels.resize(std::size_t(out.Width) * std::size_t(out.Height));
    for (int y = 0; y < out.Height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::uint32_t* dst = out.Texels.data() + std::size_t(y) * std::size_t(out.Width);
        for (int x = 0; x < out.Width; ++x)
            dst[x] = line[x] & 0x00FFFFFFu;
    }
    Image = std::move(out);
    return true;
}
