#include "BmpPictureReader.h"
#include "TexImage.h"

#include "platform/image/BmpFile.h"

bool DecodeBmp(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    TBmpHeader h;
    // The forms the game's own files come in; the picture reader takes the rest.
    if (!Data || !ParseBmpHeader({Data, Size}, h) || h.IsCore() || h.Compression != kBmpRgb ||
        h.BitCount == 16)
        return false;
    return ReadBmpPicture(Data, Size, Image);
}
