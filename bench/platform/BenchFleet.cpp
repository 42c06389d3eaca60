#include "bench/platform/BenchFleet.h"

#include <cmath>
#include <utility>

namespace {

TBenchCorner C(float X, float Y, float Z, float NX, float NY, float NZ, float U = 0, float V = 0) {
    return {X, Y, Z, NX, NY, NZ, U, V};
}

// A triangle turned so that it is drawn from the side its first normal points to.
void Facing(TBenchMesh& M, TBenchCorner A, TBenchCorner B, TBenchCorner Cc, float R, float G,
            float Bl, bool Textured) {
    const float ux = B.X - A.X, uy = B.Y - A.Y, uz = B.Z - A.Z;
    const float vx = Cc.X - A.X, vy = Cc.Y - A.Y, vz = Cc.Z - A.Z;
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    if (nx * A.NX + ny * A.NY + nz * A.NZ < 0)
        std::swap(B, Cc);
    M.Triangles.push_back({{A, B, Cc}, R, G, Bl, Textured});
}

// A quad a-b-c-d around its edge, as two triangles facing its normals.
void Quad(TBenchMesh& M, TBenchCorner A, TBenchCorner B, TBenchCorner Cc, TBenchCorner D, float R,
          float G, float Bl, bool Textured) {
    Facing(M, A, B, Cc, R, G, Bl, Textured);
    Facing(M, A, Cc, D, R, G, Bl, Textured);
}

// Both windings, so the sail shows from either side.
void TwoSided(TBenchMesh& M, TBenchCorner A, TBenchCorner B, TBenchCorner Cc, float R, float G,
              float Bl, bool Textured) {
    M.Triangles.push_back({{A, B, Cc}, R, G, Bl, Textured});
    M.Triangles.push_back({{A, Cc, B}, R, G, Bl, Textured});
}

// Five sections from stern to bow, each with a deck edge and a waterline point a side and a
// keel point; topsides between deck and waterline carry the texture.
TBenchMesh Hull() {
    TBenchMesh m{{}, true, 0};
    const float z[5] = {-4, -2, 0, 2, 4};
    const float half[5] = {1.4f, 1.8f, 1.9f, 1.4f, 0.05f};
    for (int s = 0; s < 4; ++s) {
        const float z0 = z[s], z1 = z[s + 1], w0 = half[s], w1 = half[s + 1];
        const float u0 = (z0 + 4) / 8, u1 = (z1 + 4) / 8;
        for (int side : {1, -1}) {
            const float sx = float(side);
            auto topside = [&](float Z, float W, float U, bool Deck) {
                const float v = side > 0 ? (Deck ? 0.0f : 0.4f) : (Deck ? 1.0f : 0.6f);
                return C(sx * (Deck ? W : W * 0.8f), Deck ? 2.0f : 0.0f, Z, sx, 0.1f, 0, U, v);
            };
            TBenchCorner a = topside(z0, w0, u0, true), b = topside(z1, w1, u1, true),
                         c = topside(z1, w1, u1, false), d = topside(z0, w0, u0, false);
            TBenchCorner k0 = C(0, -1, z0, sx * 0.5f, -1, 0), k1 = C(0, -1, z1, sx * 0.5f, -1, 0);
            TBenchCorner d2 = C(sx * w0 * 0.8f, 0, z0, sx, -0.7f, 0),
                         c2 = C(sx * w1 * 0.8f, 0, z1, sx, -0.7f, 0);
            Quad(m, a, b, c, d, 1, 1, 1, true);
            Quad(m, d2, c2, k1, k0, 1, 1, 1, false);
        }
        // The deck, seen from above.
        Quad(m, C(-w0, 2, z0, 0, 1, 0), C(-w1, 2, z1, 0, 1, 0), C(w1, 2, z1, 0, 1, 0),
             C(w0, 2, z0, 0, 1, 0), 0.9f, 0.9f, 0.9f, false);
    }
    // A cabin on the deck and the transom.
    Quad(m, C(-0.9f, 2.6f, -1.5f, 0, 1, 0), C(-0.9f, 2.6f, 1, 0, 1, 0), C(0.9f, 2.6f, 1, 0, 1, 0),
         C(0.9f, 2.6f, -1.5f, 0, 1, 0), 1, 1, 1, false);
    Quad(m, C(0.9f, 2.6f, -1.5f, 1, 0.2f, 0), C(0.9f, 2.6f, 1, 1, 0.2f, 0),
         C(1.3f, 2, 1, 1, 0.2f, 0), C(1.3f, 2, -1.5f, 1, 0.2f, 0), 0, 0, 0.4f, false);
    Quad(m, C(-1.3f, 2, -1.5f, -1, 0.2f, 0), C(-1.3f, 2, 1, -1, 0.2f, 0),
         C(-0.9f, 2.6f, 1, -1, 0.2f, 0), C(-0.9f, 2.6f, -1.5f, -1, 0.2f, 0), 0, 0, 0.4f, false);
    Quad(m, C(-1.4f, 2, -4, 0, 0.3f, -1), C(1.4f, 2, -4, 0, 0.3f, -1), C(1.12f, 0, -4, 0, 0.3f, -1),
         C(-1.12f, 0, -4, 0, 0.3f, -1), 1, 1, 1, false);
    Facing(m, C(-1.12f, 0, -4, 0, -0.5f, -1), C(1.12f, 0, -4, 0, -0.5f, -1),
           C(0, -1, -4, 0, -0.5f, -1), 1, 1, 1, false);
    return m;
}

TBenchMesh MainSail() {
    TBenchMesh m{{}, false, 0};
    const TBenchCorner head = C(0, 14, 0, 0, -1, 0), tack = C(0, 3, 0, 0, -1, 0),
                       clew = C(0, 3.2f, -3, 0, -1, 0), belly = C(0.3f, 8, -2, 0, -1, 0);
    TwoSided(m, tack, belly, head, 1, 1, 1, false);
    TwoSided(m, tack, clew, belly, 1, 1, 1, false);
    return m;
}

TBenchMesh Jib() {
    TBenchMesh m{{}, false, 0};
    const TBenchCorner head = C(0, 12, 3, 0, -1, 0), tack = C(0, 2, 3, 0, -1, 0),
                       clew = C(0.7f, 2.6f, -0.8f, 0, -1, 0), belly = C(0.7f, 6, 1.2f, 0, -1, 0);
    TwoSided(m, tack, belly, head, 0.6f, 0.6f, 0.3f, false);
    TwoSided(m, tack, clew, belly, 0.6f, 0.6f, 0.3f, false);
    return m;
}

TBenchMesh Spinnaker() {
    TBenchMesh m{{}, false, 1};
    // A centre line and two wings, four rows from head to foot.
    auto p = [](int Column, int Row) {
        const float u = 0.2f + 0.3f * Column, v = Row / 3.0f;
        const float x = (Column - 1) * 1.8f * (Row ? 1.0f : 0.0f);
        const float y = 12 - Row * 2.6f, z = 3 + (Column == 1 ? 0.6f : 0.0f) * (Row ? 1 : 0);
        return C(x, y, z + 1.5f, 0, 0, 1, u, v);
    };
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col) {
            TwoSided(m, p(col, row), p(col + 1, row), p(col + 1, row + 1), 1, 1, 1, true);
            TwoSided(m, p(col, row), p(col + 1, row + 1), p(col, row + 1), 1, 1, 1, true);
        }
    return m;
}

TBenchTexture Stripes(bool Hull) {
    TBenchTexture t{128, 64, {}};
    for (int y = 0; y < t.Height; ++y)
        for (int x = 0; x < t.Width; ++x) {
            std::uint32_t c;
            if (Hull)
                c = (y / 8 + x / 16) % 2 ? 0x2040C0 : 0xF0F0F0;
            else
                c = y < 21 ? 0xD02020 : y < 42 ? 0xF0F0F0 : 0x2030C0;
            t.Texels.push_back(c);
        }
    return t;
}

} // namespace

TBenchFleet MakeBenchFleet() {
    TBenchFleet f;
    f.Hull = Hull();
    f.MainSail = MainSail();
    f.Jib = Jib();
    f.Spinnaker = Spinnaker();
    f.Textures[0] = Stripes(true);
    f.Textures[1] = Stripes(false);
    struct TPlace {
        float X, Z, Heading;
        bool Spinnaker;
    };
    const TPlace places[10] = {
        {0, 0, 20, true},     {-9, 10, 300, false}, {9, 12, 45, true},  {-16, 22, 90, false},
        {14, 24, 180, false}, {-4, 30, 240, true},  {22, 38, 10, true}, {-24, 40, 135, false},
        {6, 48, 330, false},  {-12, 56, 200, true},
    };
    for (const TPlace& p : places) {
        f.Placements.push_back({&f.Hull, p.X, 0, p.Z, p.Heading});
        f.Placements.push_back({&f.MainSail, p.X, 0, p.Z, p.Heading + 25});
        f.Placements.push_back(
            {p.Spinnaker ? &f.Spinnaker : &f.Jib, p.X, 0, p.Z, p.Heading + (p.Spinnaker ? 0 : 15)});
    }
    f.EyeX = 0;
    f.EyeY = 2.45f;
    f.EyeZ = -20.74f;
    f.AtX = 0;
    f.AtY = 5.9f;
    f.AtZ = 0;
    f.Ambient = 0.4f;
    f.Directional = 0.9f;
    f.LightX = 0;
    f.LightY = -0.207107f;
    f.LightZ = 0.707107f;
    return f;
}
