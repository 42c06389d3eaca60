#include "platform/vcl/Bitmap.h"

#include "platform/vcl/DibSection.h"

#include <vector>

namespace vcl {

TBitmap::TBitmap() : Dc(std::make_unique<TDeviceContext>()) {
    FCanvas.SetHandle(Dc.get());
}

TBitmap::~TBitmap() {
    FCanvas.SetHandle(nullptr);
}

void TBitmap::LoadFromStream(TStream& Stream) {
    const std::int64_t size = Stream.Size() - Stream.Position();
    if (size <= 0)
        throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    Stream.ReadBuffer(bytes.data(), size);
    TDibSection dib;
    if (!DecodeDib(bytes.data(), bytes.size(), dib))
        throw EInvalidGraphic("Bitmap image is not valid");
    // A new context, so that no painter still holds the old picture.
    auto dc = std::make_unique<TDeviceContext>(dib.Image.convertToFormat(QImage::Format_RGB32));
    FCanvas.SetHandle(dc.get());
    Dc = std::move(dc);
}

} // namespace vcl
