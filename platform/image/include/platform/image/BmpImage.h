#pragma once
// The toolkit's bitmap reader over a whole file held in memory, for the forms the game's own
// decoders leave to it (run-length codes, the short header, bit fields).

#include <QImage>

#include <cstddef>
#include <cstdint>

// Only bitmap files, whatever their bytes would otherwise pass for. A null image when the
// reader fails, or when a side is not within 1 to MaxSide, refused before anything is
// allocated for the pixels.
QImage ReadBmpImage(const std::uint8_t* Data, std::size_t Size, int MaxSide);
