#pragma once
// The connection dialog's emblem: a 768 x 32, 8-bit strip of 24 frames of 32 x 32 pixels, a
// golden medallion turning about its upright axis (frame 0 at rest). Drawn at build time by
// ddpd/emblem/MakeEmblem.cpp; palette entry 0 is the background and loads transparent.

#include <QImage>

namespace ddpd {

QImage LoadEmblemStrip();

} // namespace ddpd
