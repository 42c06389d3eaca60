#include "BmpPictureReader.h"

#include "platform/image/BmpPicture.h"

bool ReadBmpPicture(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    TBmpPicture picture;
    if (!Data || !DecodeBmpPicture({Data, Size}, kMaxTextureSide, picture))
        return false;
    TTexImage out;
    out.Width = picture.Width;
    out.Height = picture.Height;
    out.Texels.resize(std::size_t(out.Width) * std::size_t(out.Height));
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Texels[std::size_t(y) * std::size_t(out.Width) + std::size_t(x)] = picture.At(x, y);
    Image = std::move(out);
    return true;
}
