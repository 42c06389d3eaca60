#pragma once
// The scene both renderers draw in the rendering benchmark: ten yachts' worth of meshes of
// about 64 triangles each (a lit, Gouraud-shaded hull with textured topsides; unlit sails, the
// spinnakers textured), spread ahead of the camera over about a third of a 640 x 480 picture.

#include <cstdint>
#include <vector>

struct TBenchCorner {
    float X, Y, Z;    // mesh space: +z forward, +y up, left-handed
    float NX, NY, NZ; // not of unit length
    float U, V;       // v = 0 at the picture's top
};

struct TBenchTriangle {
    TBenchCorner Corner[3]; // clockwise as seen from the side it is drawn from
    float R, G, B;
    bool Textured;
};

struct TBenchMesh {
    std::vector<TBenchTriangle> Triangles;
    bool Lit;    // Gouraud with the lights, else flat at full strength
    int Texture; // 0 hull, 1 spinnaker: the texture its textured triangles use
};

// A mesh placed in the world: position, and turned by Heading degrees about y (0 = facing +z).
struct TBenchPlacement {
    const TBenchMesh* Mesh;
    float X, Y, Z, Heading;
};

struct TBenchTexture {
    int Width, Height;
    std::vector<std::uint32_t> Texels; // 0x00RRGGBB, top row first
};

struct TBenchFleet {
    TBenchMesh Hull, MainSail, Jib, Spinnaker;
    TBenchTexture Textures[2];
    std::vector<TBenchPlacement> Placements;
    // The camera: position and a point it looks at, y up.
    float EyeX, EyeY, EyeZ, AtX, AtY, AtZ;
    // Lights: one ambient level, one directional white light travelling along this direction.
    float Ambient, Directional, LightX, LightY, LightZ;
};

TBenchFleet MakeBenchFleet();
