// Texture files are whatever lies in the folder (or came over the network): any bytes must
// decode to a whole picture or be refused.
#include "platform/d3drm/TexImage.h"
#include "tests/fuzz/platform/WholePicture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TTexImage image;
    if (DecodeBmp(Data, Size, image) && !WholePicture(image))
        std::abort();
    return 0;
}
