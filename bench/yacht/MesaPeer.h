#pragma once
// The measuring stick for the scene's frame: the same yachts, meshes, lights and camera drawn
// by Mesa's software OpenGL (llvmpipe through OSMesa, one thread) into a 16-bit picture in
// memory. Only benchmarks use it; the game never links OpenGL.

#include "yacht/YachtState.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TMesaPeer {
public:
    // LP_NUM_THREADS must be set before the first peer is made (Mesa reads it once).
    TMesaPeer(int Width, int Height);
    ~TMesaPeer();
    TMesaPeer(const TMesaPeer&) = delete;
    TMesaPeer& operator=(const TMesaPeer&) = delete;

    // Yacht 1 is States[0], followed by the camera in ViewMode (0 R, 1 U, 2 F). Hull and
    // spinnaker are textured with the sample textures.
    void DrawFrame(std::span<const TYachtState> States, std::int32_t FrameCounter,
                   std::uint8_t ViewMode);
    // The last frame, top row first, as 5-6-5 pixels.
    std::vector<std::uint16_t> Picture() const;

private:
    struct TState;
    std::unique_ptr<TState> S;
};
