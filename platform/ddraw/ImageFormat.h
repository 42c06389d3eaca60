#pragma once
// The toolkit's picture format that wraps a surface's memory as it is, for showing it and for
// drawing on it through a device context.

#include "PixelFormat.h"

#include <QImage>

inline QImage::Format ImageFormatOf(TPixelKind Kind) {
    switch (Kind) {
    case TPixelKind::Indexed8:
        return QImage::Format_Indexed8;
    case TPixelKind::Rgb565:
        return QImage::Format_RGB16;
    case TPixelKind::Rgb888:
        return QImage::Format_BGR888;
    default:
        return QImage::Format_RGB32;
    }
}
