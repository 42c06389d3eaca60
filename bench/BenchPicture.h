#pragma once
// Frames a renderer drew, in 5-6-5 pixels.

#include <cstdint>
#include <vector>

// How many pixels are not black: a frame that draws nothing is not a fast frame.
int LitPixels(const std::vector<std::uint16_t>& Picture);

// The last frame a renderer drew, for a person to look at: with MAREVO_BENCH_PICTURES set to a
// folder, a 5-6-5 picture is written there as a PPM file called Name.
void SaveBenchPicture(const std::vector<std::uint16_t>& Picture, int Width, int Height,
                      const char* Name);
