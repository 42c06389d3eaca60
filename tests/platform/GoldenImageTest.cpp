// A lit, textured mesh compared with a reference picture. Run with MAREVO_REGENERATE_GOLDEN=1
// to write the reference anew after an intended change, and look at it before committing.

#include "tests/platform/BmpWriter.h"
#include "tests/platform/RenderFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::filesystem::path GoldenPath(const char* Name) {
    const char* source = std::getenv("MAREVO_SOURCE_DIR");
    return std::filesystem::path(source ? source : ".") / "tests/platform/golden" / Name;
}

// Binary PPM, top row first.
void WritePpm(const std::filesystem::path& Path, const TMemoryTarget& M) {
    std::ofstream out(Path, std::ios::binary);
    out << "P6\n" << M.Width << " " << M.Height << "\n255\n";
    for (int y = 0; y < M.Height; ++y)
        for (int x = 0; x < M.Width; ++x) {
            const std::uint32_t c = M.At(x, y);
            const char rgb[3] = {char(c >> 16), char(c >> 8), char(c)};
            out.write(rgb, 3);
        }
}

bool ReadPpm(const std::filesystem::path& Path, int& W, int& H, std::vector<std::uint8_t>& Rgb) {
    std::ifstream in(Path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> W >> H >> maxValue) || magic != "P6" || maxValue != 255)
        return false;
    in.get();
    Rgb.resize(std::size_t(W) * H * 3);
    return bool(in.read(reinterpret_cast<char*>(Rgb.data()), std::streamsize(Rgb.size())));
}

// A cube turned toward the camera, every face textured with a checker whose top row is red,
// its corners carrying normals that point away from the centre so that Gouraud shading
// rounds it.
void BuildCube(TRenderFixture& F, IDirect3DRMTexture* Texture) {
    IDirect3DRMMeshBuilder2* m = nullptr;
    ASSERT_EQ(F.RM->CreateMeshBuilder(&m), D3DRM_OK);
    // For each face: its outward axis and two in-plane axes (right, up as seen from outside).
    struct TSide {
        float N[3], R[3], U[3];
    } sides[6] = {
        {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},
        {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
    };
    for (const TSide& s : sides) {
        IDirect3DRMFace* face = nullptr;
        ASSERT_EQ(m->CreateFace(&face), D3DRM_OK);
        face->SetTexture(Texture);
        // Top-left, top-right, bottom-right, bottom-left: clockwise as seen from outside.
        const float corner[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
        for (int k = 0; k < 4; ++k) {
            float p[3];
            for (int i = 0; i < 3; ++i)
                p[i] = s.N[i] + corner[k][0] * s.R[i] + corner[k][1] * s.U[i];
            const int v = m->AddVertex(p[0], p[1], p[2]);
            const int n = m->AddNormal(p[0], p[1], p[2]);
            face->AddVertexAndNormalIndexed(DWORD(v), DWORD(n));
            face->SetTextureCoordinates(DWORD(k), corner[k][0] < 0 ? 0.0f : 1.0f,
                                        corner[k][1] > 0 ? 0.0f : 1.0f);
        }
        face->SetColorRGB(1, 0.9f, 0.8f);
        face->Release();
    }
    m->SetQuality(D3DRMRENDER_GOURAUD);
    IDirect3DRMFrame2* frame = F.Frame(0, 0, 5);
    frame->SetOrientation(F.Scene, 0.5f, -0.45f, 1, 0.2f, 1, 0);
    frame->AddVisual(m);
    m->Release();
}

TEST(GoldenImage, ALitTexturedCubeLooksAsItDid) {
    TRenderFixture f(64, 64, 32, 16);
    f.Device->SetQuality(D3DRMRENDER_GOURAUD);
    f.Light(D3DRMLIGHT_AMBIENT, 0.3f);
    f.Light(D3DRMLIGHT_DIRECTIONAL, 0.8f, {0.4f, -0.6f, 1});
    std::vector<std::vector<std::uint32_t>> rows(4, std::vector<std::uint32_t>(4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            rows[y][x] = y == 0 ? 0xFF2020u : ((x + y) % 2 ? 0xFFFFFFu : 0x3060E0u);
    const std::string path = ::testing::TempDir() + "/golden_checker.bmp";
    WriteTestBmp(path, rows, 24);
    IDirect3DRMTexture2* texture = nullptr;
    ASSERT_EQ(f.RM->LoadTexture(path.c_str(), &texture), D3DRM_OK);
    std::filesystem::remove(path);
    BuildCube(f, texture);
    texture->Release();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    f.Draw();

    const std::filesystem::path golden = GoldenPath("lit_textured_cube.ppm");
    if (const char* regenerate = std::getenv("MAREVO_REGENERATE_GOLDEN");
        regenerate && *regenerate == '1') {
        WritePpm(golden, f.Memory);
        GTEST_SKIP() << "wrote " << golden;
    }
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(ReadPpm(golden, w, h, rgb)) << golden;
    ASSERT_EQ(w, 64);
    ASSERT_EQ(h, 64);
    // Builds that round differently may move an edge pixel or a shade by a step, no more.
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t c = f.Memory.At(x, y);
            const std::uint8_t* g = rgb.data() + (y * 64 + x) * 3;
            const int d =
                std::max({std::abs(int(c >> 16 & 0xFF) - g[0]), std::abs(int(c >> 8 & 0xFF) - g[1]),
                          std::abs(int(c & 0xFF) - g[2])});
            differing += d > 2;
        }
    EXPECT_LE(differing, 8) << "pixels differ from " << golden;
    EXPECT_GT(f.CountLit(), 900); // the reference is not an empty picture
}

} // namespace
