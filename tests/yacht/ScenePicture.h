#pragma once
// Draws the scene through its own camera into a small picture in memory, and keeps golden
// copies of such pictures beside the tests (MAREVO_REGENERATE_GOLDEN=1 rewrites them).

#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/RMDevice.h"
#include "yacht/DrawYacht.h"

#include <cstdint>
#include <string>
#include <vector>

struct TPicture {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels; // 0x00RRGGBB, top row first

    std::uint32_t At(int X, int Y) const { return Pixels[std::size_t(Y) * Width + X]; }
    static int Red(std::uint32_t P) { return (P >> 16) & 0xFF; }
    static int Green(std::uint32_t P) { return (P >> 8) & 0xFF; }
    static int Blue(std::uint32_t P) { return P & 0xFF; }
    // Left to right.
    TPicture Mirrored() const;
};

// Renders Scene's SceneFrame as its camera frame sees it, after the camera was last moved
// (RenderFrame moves it), into a Width x Height 16-bit picture.
TPicture Photograph(TDrawYacht& Scene, int Width, int Height);

// Compares Picture with the golden image Name; writes it instead when regenerating. Allows a
// few pixels to differ a little, so that an exact rounding change in the rasterizer does not
// count as a different picture. Returns a message, empty when they match.
std::string CompareWithGolden(const TPicture& Picture, const std::string& Name);
