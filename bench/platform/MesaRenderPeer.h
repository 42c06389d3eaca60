#pragma once
// The measuring stick of the rendering benchmark: Mesa's software OpenGL (llvmpipe through
// OSMesa) drawing the benchmark's fleet into a 640 x 480 5-6-5 picture with a 16-bit depth
// buffer. Only this benchmark links it.

#include "bench/platform/BenchFleet.h"

#include <cstdint>
#include <memory>
#include <vector>

class TMesaRenderPeer {
public:
    // LP_NUM_THREADS must be set before the first peer is made: Mesa reads it once.
    TMesaRenderPeer(const TBenchFleet& Fleet, int Width, int Height);
    ~TMesaRenderPeer();
    TMesaRenderPeer(const TMesaRenderPeer&) = delete;
    TMesaRenderPeer& operator=(const TMesaRenderPeer&) = delete;

    // Clear, draw everything, finish.
    void DrawFrame();
    // The last frame, top row first.
    const std::vector<std::uint16_t>& Picture() const;

private:
    struct TState;
    std::unique_ptr<TState> S;
};
