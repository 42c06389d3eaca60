// A picked texture may be any file at all: whatever reads it, through our decoder or the
// toolkit's, gives a whole picture of allowed size or refuses it.
#include "platform/d3drm/BmpPictureReader.h"
#include "tests/fuzz/platform/WholePicture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TTexImage image;
    if (ReadBmpPicture(Data, Size, image)) {
        if (!WholePicture(image))
            std::abort();
    } else if (image.Width != 0 || !image.Texels.empty()) {
        std::abort();
    }
    return 0;
}
