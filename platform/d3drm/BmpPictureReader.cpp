#include "BmpPictureReader.h"

#include "platform/image/BmpImage.h"

bool ReadBmpPicture(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    if (DecodeBmp(Data, Size, Image))
        return true;
    QImage picture = ReadBmpImage(Data, Size, kMaxTextureSide);
    if (picture.isNull())
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
