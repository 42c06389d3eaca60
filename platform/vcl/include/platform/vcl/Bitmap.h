#pragma once
// The framework's bitmap object: a picture read from a BMP stream, with a canvas on it.

#include "platform/rtl/Stream.h"
#include "platform/vcl/Canvas.h"

#include <QImage>

#include <memory>

namespace vcl {

// The bytes were no bitmap the framework reads.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Reads a BMP file from Stream's position to its end (see DecodeDib for what is read);
    // EInvalidGraphic for anything else, and then the bitmap is unchanged.
    void LoadFromStream(TStream& Stream);

    int Width() const { return Dc->Target().width(); }
    int Height() const { return Dc->Target().height(); }
    // Whatever the file's depth, the pixels are kept in 32-bit colour.
    const QImage& Image() const { return Dc->Target(); }
    TCanvas& Canvas() { return FCanvas; }

private:
    std::unique_ptr<TDeviceContext> Dc;
    TCanvas FCanvas;
};

} // namespace vcl
