// A picked texture may be any file at all: whatever reads it, through our decoder or the
// toolkit's, gives a whole picture of allowed size or refuses it.
#include "platform/d3drm/BmpPictureReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TTexImage image;
    if (ReadBmpPicture(Data, Size, image)) {
        if (image.Width <= 0 || image.Height <= 0 || image.Width > kMaxTextureSide ||
            image.Height > kMaxTextureSide ||
            image.Texels.size() != std::size_t(image.Width) * image.Height)
            std::abort();
        for (std::uint32_t t : image.Texels)
            if (t > 0xFFFFFFu)
                std::abort();
    } else if (image.Width != 0 || !image.Texels.empty()) {
        std::abort();
    }
    return 0;
}
