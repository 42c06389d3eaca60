#include "DDPDEmblem.h"

#include <cstddef>

namespace ddpd {

// Generated: the strip as a BMP file.
extern const unsigned char kEmblemBmp[];
extern const std::size_t kEmblemBmpSize;

QImage LoadEmblemStrip() {
    QImage strip = QImage::fromData(kEmblemBmp, static_cast<int>(kEmblemBmpSize), "BMP");
    if (strip.format() == QImage::Format_Indexed8)
        strip.setColor(0, qRgba(0, 0, 0, 0));
    return strip;
}

} // namespace ddpd
