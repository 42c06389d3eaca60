#pragma once
// The program's icon, drawn by the game itself: the scene component's own yacht, with the
// sample hull and spinnaker textures and its spinnaker set, photographed by our rasterizer from
// abeam on the port side and laid over a round patch of sea.

#include "yacht/DrawYacht.h"

#include <cstdint>
#include <vector>

struct TIconPicture {
    int Size = 0;
    // Straight (not premultiplied) 0xAARRGGBB, top row first.
    std::vector<std::uint32_t> Pixels;

    std::uint32_t At(int X, int Y) const { return Pixels[std::size_t(Y) * Size + X]; }
};

// Poses yacht 1 of Scene for the icon: it must carry a hull and, for the picture to show one,
// a spinnaker.
void PoseIconYacht(TDrawYacht& Scene);
// Size x Size pixels, drawn four times larger in each direction and averaged down.
TIconPicture RenderYachtIcon(TDrawYacht& Scene, int Size);
