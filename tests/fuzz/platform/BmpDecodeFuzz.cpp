// Texture files are whatever lies in the folder (or came over the network): any bytes must
// decode to a whole picture or be refused.
#include "platform/d3drm/TexImage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TTexImage image;
    if (DecodeBmp(Data, Size, image)) {
        if (image.Width <= 0 || image.Height <= 0 || image.Width > kMaxTextureSide ||
            image.Height > kMaxTextureSide ||
            image.Texels.size() != std::size_t(image.Width) * image.Height)
            std::abort();
        for (std::uint32_t t : image.Texels)
            if (t > 0xFFFFFFu)
                std::abort();
    }
    return 0;
}
