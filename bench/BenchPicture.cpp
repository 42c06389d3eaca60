#include "bench/BenchPicture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

int LitPixels(const std::vector<std::uint16_t>& Picture) {
    int lit = 0;
    for (const std::uint16_t p : Picture)
        lit += p != 0;
    return lit;
}

void SaveBenchPicture(const std::vector<std::uint16_t>& Picture, int Width, int Height,
                      const char* Name) {
    const char* folder = std::getenv("MAREVO_BENCH_PICTURES");
    if (!folder || Width <= 0 || Height <= 0 ||
        Picture.size() != static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height))
        return;
    std::ofstream out(std::filesystem::path(folder) / Name, std::ios::binary);
    out << "P6\n" << Width << " " << Height << "\n255\n";
    for (const std::uint16_t p : Picture) {
        const char rgb[3] = {static_cast<char>((p >> 11) << 3),
                             static_cast<char>(((p >> 5) & 63) << 2),
                             static_cast<char>((p & 31) << 3)};
        out.write(rgb, 3);
    }
}
