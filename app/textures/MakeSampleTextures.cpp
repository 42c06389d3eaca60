// Writes the sample "HALTEX.BMP" and "SPINTEX.BMP" into the folder given as the one argument.

#include "SampleTextures.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    if (!SampleHullTexture().SaveBmp(folder / "HALTEX.BMP") ||
        !SampleSpinnakerTexture().SaveBmp(folder / "SPINTEX.BMP")) {
        std::fprintf(stderr, "cannot write the textures into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
