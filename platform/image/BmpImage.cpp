#include "platform/image/BmpImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <limits>

QImage ReadBmpImage(const std::uint8_t* Data, std::size_t Size, int MaxSide) {
    // The toolkit would read other picture formats too, which the game neither offers nor sends.
    if (!Data || Size < 2 || Data[0] != 'B' || Data[1] != 'M' ||
        Size > std::size_t(std::numeric_limits<int>::max()))
        return {};
    QBuffer buffer;
    buffer.setData(
        QByteArray::fromRawData(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size)));
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > MaxSide ||
        size.height() > MaxSide)
        return {};
    QImage picture;
    if (!reader.read(&picture) || picture.size() != size)
        return {};
    return picture;
}
