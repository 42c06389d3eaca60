// What the viewport draws, on 64 x 64 targets.

#include "tests/platform/BmpWriter.h"
#include "tests/platform/RenderFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

std::uint32_t Rgb(int R, int G, int B) {
    return (std::uint32_t(R) << 16) | (G << 8) | B;
}
int Red(std::uint32_t C) {
    return (C >> 16) & 0xFF;
}
int Green(std::uint32_t C) {
    return (C >> 8) & 0xFF;
}
int Blue(std::uint32_t C) {
    return C & 0xFF;
}

std::string TempPath(const std::string& Name) {
    return (std::filesystem::temp_directory_path() /
            ("marevo_d3drm_" + std::to_string(::getpid()) + "_" + Name))
        .string();
}

TEST(RenderImage, ASquareSeenFromTheFrontIsDrawnAndFromBehindIsNot) {
    for (bool facing : {true, false}) {
        TRenderFixture f;
        f.Frame()->AddVisual(f.Mesh(TRenderFixture::Square(5, 1, facing), {1, 1, 1}));
        f.Draw();
        if (facing) {
            // 1 unit at distance 5 is 64 / 5 pixels: the square is 25.6 pixels across.
            EXPECT_NEAR(f.CountLit(), 25.6 * 25.6, 60);
            EXPECT_EQ(f.Memory.At(32, 32), Rgb(255, 255, 255));
        } else {
            EXPECT_EQ(f.CountLit(), 0);
        }
    }
}

TEST(RenderImage, TheCameraTurnedAroundSeesTheSquaresOtherSide) {
    TRenderFixture f;
    f.Frame()->AddVisual(f.Mesh(TRenderFixture::Square(5, 1, false), {1, 1, 1}));
    f.Camera->SetPosition(f.Scene, 0, 0, 10);
    f.Camera->SetOrientation(f.Scene, 0, 0, -1, 0, 1, 0);
    f.Draw();
    EXPECT_EQ(f.Memory.At(32, 32), Rgb(255, 255, 255));
}

TEST(RenderImage, TheNearerOfTwoOverlappingFacesWinsWhateverTheOrder) {
    for (bool nearFirst : {true, false}) {
        TRenderFixture f;
        IDirect3DRMFrame2* frame = f.Frame();
        auto* nearMesh = f.Mesh(TRenderFixture::Square(4), {0, 1, 0});
        auto* farMesh = f.Mesh(TRenderFixture::Square(5, 2), {1, 0, 0});
        frame->AddVisual(nearFirst ? nearMesh : farMesh);
        frame->AddVisual(nearFirst ? farMesh : nearMesh);
        f.Draw();
        EXPECT_EQ(f.Memory.At(32, 32), Rgb(0, 255, 0));
        EXPECT_EQ(f.Memory.At(32, 12), Rgb(255, 0, 0)); // only the far square reaches here
    }
}

TEST(RenderImage, NothingBeyondTheBackPlaneIsDrawn) {
    TRenderFixture f;
    f.Viewport->SetBack(50);
    f.Frame()->AddVisual(f.Mesh(TRenderFixture::Square(60, 20), {1, 1, 1}));
    f.Frame()->AddVisual(f.Mesh(TRenderFixture::Square(40, 2), {1, 1, 1}));
    f.Draw();
    EXPECT_EQ(f.Memory.At(32, 32), Rgb(255, 255, 255));
    EXPECT_EQ(f.Memory.At(5, 5), 0u);
}

TEST(RenderImage, AVisualOnTwoFramesIsDrawnInEach) {
    TRenderFixture f;
    auto* mesh = f.Mesh(TRenderFixture::Square(0, 0.5f), {1, 1, 1});
    f.Frame(-2, 0, 10)->AddVisual(mesh);
    f.Frame(2, 0, 10)->AddVisual(mesh);
    f.Draw();
    EXPECT_EQ(f.Memory.At(32 - 13, 32), Rgb(255, 255, 255));
    EXPECT_EQ(f.Memory.At(32 + 13, 32), Rgb(255, 255, 255));
    EXPECT_EQ(f.Memory.At(32, 32), 0u);
}

// A face whose normals face the directional light gets ambient + directional; one whose
// normals face away gets the ambient alone. The quality in force is the lower of the device's
// and the mesh's, field by field.
TEST(RenderImage, LightingFollowsTheNormalsAndTheLowerOfTheTwoQualities) {
    struct TCase {
        D3DRMRENDERQUALITY Device, Mesh;
        int Toward, Away; // expected red of the two faces
    } cases[] = {
        {D3DRMRENDER_GOURAUD, D3DRMRENDER_GOURAUD, 204, 51},
        {D3DRMRENDER_FLAT, D3DRMRENDER_GOURAUD, 204, 204}, // flat: the face's own normal
        {D3DRMRENDER_GOURAUD, D3DRMRENDER_UNLITFLAT, 255, 255},
        {D3DRMRENDER_UNLITFLAT, D3DRMRENDER_GOURAUD, 255, 255},
    };
    for (const TCase& c : cases) {
        TRenderFixture f;
        f.Device->SetQuality(c.Device);
        f.Light(D3DRMLIGHT_AMBIENT, 0.2f);
        f.Light(D3DRMLIGHT_DIRECTIONAL, 0.6f, {0, 0, 1}); // shining away from the camera
        IDirect3DRMFrame2* left = f.Frame(-1.5f, 0, 0);
        IDirect3DRMFrame2* right = f.Frame(1.5f, 0, 0);
        // Geometry facing the camera in both; the normals decide the light.
        left->AddVisual(f.Mesh(TRenderFixture::Square(8), {1, 0.5f, 0}, c.Mesh, {0, 0, -1}));
        right->AddVisual(f.Mesh(TRenderFixture::Square(8), {1, 0.5f, 0}, c.Mesh, {0, 0, 1}));
        // A second frame lights the same: the lights are gathered anew, not added again.
        for (int frame = 0; frame < 2; ++frame) {
            f.Draw();
            const std::uint32_t toward = f.Memory.At(20, 32), away = f.Memory.At(44, 32);
            EXPECT_NEAR(Red(toward), c.Toward, 2) << c.Device << " " << c.Mesh << " " << frame;
            EXPECT_NEAR(Green(toward), c.Toward / 2, 2);
            EXPECT_NEAR(Red(away), c.Away, 2) << c.Device << " " << c.Mesh;
            EXPECT_EQ(Blue(toward), 0);
        }
    }
}

TEST(RenderImage, GouraudShadingBlendsTheCornersLight) {
    TRenderFixture f;
    f.Device->SetQuality(D3DRMRENDER_GOURAUD);
    f.Light(D3DRMLIGHT_DIRECTIONAL, 1, {-1, 0, 0}); // shining toward -x
    IDirect3DRMMeshBuilder2* m = nullptr;
    ASSERT_EQ(f.RM->CreateMeshBuilder(&m), D3DRM_OK);
    const int lit = m->AddNormal(1, 0, 0), dark = m->AddNormal(-1, 0, 0);
    IDirect3DRMFace* face = nullptr;
    ASSERT_EQ(m->CreateFace(&face), D3DRM_OK);
    const int normals[4] = {dark, dark, lit, lit}; // left corners dark, right corners lit
    int i = 0;
    for (const TCornerSpec& c : TRenderFixture::Square(4, 1.5f))
        face->AddVertexAndNormalIndexed(DWORD(m->AddVertex(c.X, c.Y, c.Z)), DWORD(normals[i++]));
    face->Release();
    f.Frame()->AddVisual(m);
    m->Release();
    f.Draw();
    int previous = -1;
    for (int x = 10; x < 54; x += 4) {
        const int level = Red(f.Memory.At(x, 32));
        EXPECT_GT(level, previous) << x;
        previous = level;
    }
    EXPECT_LT(Red(f.Memory.At(10, 32)), 40);
    EXPECT_GT(Red(f.Memory.At(53, 32)), 215);
}

// The top row of the picture as seen lands where v = 0, whatever way the file stores its rows.
TEST(RenderImage, ATextureAppearsTheRightWayUp) {
    struct TCase {
        int BitCount;
        bool TopDown;
    } cases[] = {{8, false}, {24, false}, {24, true}, {8, true}};
    const std::uint32_t red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), green = Rgb(0, 255, 0);
    for (const TCase& c : cases) {
        const std::string path = TempPath("updown.bmp");
        // Three columns, so that left and right are checked too.
        WriteTestBmp(path, {{red, red, green}, {blue, blue, blue}}, c.BitCount, c.TopDown);
        TRenderFixture f;
        IDirect3DRMTexture2* texture = nullptr;
        ASSERT_EQ(f.RM->LoadTexture(path.c_str(), &texture), D3DRM_OK);
        std::filesystem::remove(path);
        f.Frame()->AddVisual(f.Mesh(TRenderFixture::Square(4), {1, 1, 1}, D3DRMRENDER_UNLITFLAT,
                                    {0, 0, -1}, texture));
        EXPECT_EQ(texture->Release(), 1u); // the face holds it
        f.Draw();
        EXPECT_EQ(f.Memory.At(26, 20), red) << c.BitCount << c.TopDown;
        EXPECT_EQ(f.Memory.At(40, 20), green) << c.BitCount << c.TopDown;
        EXPECT_EQ(f.Memory.At(32, 44), blue) << c.BitCount << c.TopDown;
    }
}

TEST(RenderImage, TexturesModulateTheLitColourAndStayInPerspective) {
    TRenderFixture f;
    f.Device->SetQuality(D3DRMRENDER_GOURAUD);
    f.Light(D3DRMLIGHT_AMBIENT, 0.5f);
    // Eight columns alternating white and black, on a floor going away from the camera: the
    // columns keep straight, converging edges.
    std::vector<std::uint32_t> row;
    for (int i = 0; i < 8; ++i)
        row.push_back(i % 2 ? 0 : 0xFFFFFF);
    const std::string path = TempPath("stripes.bmp");
    WriteTestBmp(path, {row}, 24);
    IDirect3DRMTexture2* texture = nullptr;
    ASSERT_EQ(f.RM->LoadTexture(path.c_str(), &texture), D3DRM_OK);
    std::filesystem::remove(path);
    f.Frame()->AddVisual(
        f.Mesh({{-2, -1, 2, 0, 0}, {-2, -1, 20, 0, 1}, {2, -1, 20, 1, 1}, {2, -1, 2, 1, 0}},
               {1, 1, 1}, D3DRMRENDER_GOURAUD, {0, 1, 0}, texture));
    texture->Release();
    f.Draw();
    // Half of the lit white, nothing of the black.
    int white = 0, other = 0;
    for (int y = 34; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t c = f.Memory.At(x, y);
            if (c == Rgb(127, 127, 127) || c == Rgb(128, 128, 128))
                ++white;
            else if (c != 0)
                ++other;
        }
    EXPECT_GT(white, 300);
    EXPECT_EQ(other, 0);
    // The stripe boundaries are straight lines through the vanishing point at (32, 32): a
    // column boundary's x moves linearly with the row.
    auto firstBlackAfterWhite = [&](int y) {
        for (int x = 33; x < 63; ++x)
            if (f.Memory.At(x, y) != 0 && f.Memory.At(x + 1, y) == 0)
                return x + 1;
        return -1;
    };
    const int a = firstBlackAfterWhite(40), b = firstBlackAfterWhite(48),
              c = firstBlackAfterWhite(56);
    ASSERT_GT(a, 0);
    EXPECT_NEAR(c - b, b - a, 1);
}

// A large floor that reaches behind the camera: cut at the front plane, it must still cover
// the lower half of the picture solidly, without a gap along its cut edges.
TEST(RenderImage, ATriangleCutByTheFrontPlaneIsDrawnWithoutGaps) {
    TRenderFixture f;
    f.Frame()->AddVisual(f.Mesh({{-50, -1, -5}, {-50, -1, 60}, {50, -1, 60}}, {1, 1, 1}));
    f.Frame()->AddVisual(f.Mesh({{-50, -1, -5}, {50, -1, 60}, {50, -1, -5}}, {1, 1, 1}));
    f.Draw();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            // Rows below the floor's horizon (y = 32 + 64 / 60) are covered; rows above not.
            const bool expected = y >= 34;
            if (y == 33)
                continue;
            ASSERT_EQ(f.Memory.At(x, y) != 0, expected) << x << "," << y;
        }
}

// The same picture, black and white, read back through each pixel format and depth size.
TEST(RenderImage, EveryPixelFormatAndDepthSizeShowsTheSamePicture) {
    struct TCase {
        int BitCount, DepthBits;
    } cases[] = {{8, 16}, {16, 16}, {24, 24}, {32, 32}, {16, 32}, {32, 16}};
    for (const TCase& c : cases) {
        TRenderFixture f(64, 64, c.BitCount, c.DepthBits);
        // A 3-3-2 colour cube for the 8-bit target.
        for (int i = 0; i < 256; ++i) {
            f.Memory.Palette[i * 4] = std::uint8_t(((i >> 5) & 7) * 255 / 7);
            f.Memory.Palette[i * 4 + 1] = std::uint8_t(((i >> 2) & 7) * 255 / 7);
            f.Memory.Palette[i * 4 + 2] = std::uint8_t((i & 3) * 255 / 3);
        }
        IDirect3DRMFrame2* frame = f.Frame();
        frame->AddVisual(f.Mesh(TRenderFixture::Square(5), {1, 0, 0}));
        frame->AddVisual(f.Mesh(TRenderFixture::Square(4, 0.5f), {0, 0, 1}));
        f.Draw();
        EXPECT_EQ(f.Memory.At(32, 32), Rgb(0, 0, 255)) << c.BitCount << "/" << c.DepthBits;
        EXPECT_EQ(f.Memory.At(21, 32), Rgb(255, 0, 0)) << c.BitCount << "/" << c.DepthBits;
        EXPECT_EQ(f.Memory.At(2, 2), 0u) << c.BitCount << "/" << c.DepthBits;
        EXPECT_NEAR(f.CountLit(), 25.6 * 25.6, 60) << c.BitCount << "/" << c.DepthBits;
    }
}

TEST(RenderImage, ClearBlackensOnlyTheViewportsRectangle) {
    TRenderFixture f;
    IDirect3DRMViewport* corner = nullptr;
    ASSERT_EQ(f.RM->CreateViewport(f.Device, f.Camera, 8, 8, 16, 16, &corner), D3DRM_OK);
    corner->Clear();
    EXPECT_EQ(f.Memory.At(8, 8), 0u);
    EXPECT_EQ(f.Memory.At(23, 23), 0u);
    EXPECT_NE(f.Memory.At(24, 24), 0u); // the target's fill pattern, untouched
    EXPECT_NE(f.Memory.At(7, 8), 0u);
    EXPECT_EQ(corner->Release(), 0u);
}

} // namespace

namespace {

// Values no game mesh has, but nothing must be read or written outside the buffers for them.
TEST(RenderImage, AbsurdCoordinatesAndLightsDrawNothingOutsideTheBuffers) {
    TRenderFixture f;
    f.Device->SetQuality(D3DRMRENDER_GOURAUD);
    f.Light(D3DRMLIGHT_AMBIENT, 3e38f);
    f.Light(D3DRMLIGHT_DIRECTIONAL, -3e38f, {0, 0, 1});
    const std::string path = TempPath("tiny.bmp");
    WriteTestBmp(path, {{0xFFFFFF, 0}}, 24);
    IDirect3DRMTexture2* texture = nullptr;
    ASSERT_EQ(f.RM->LoadTexture(path.c_str(), &texture), D3DRM_OK);
    std::filesystem::remove(path);
    IDirect3DRMFrame2* frame = f.Frame();
    frame->AddVisual(
        f.Mesh({{-1, -1, 5, -1e30f, 1e30f}, {-1, 1, 5, 1e30f, -1e30f}, {1, 1, 5, 3e38f, 0}},
               {1, 1, 1}, D3DRMRENDER_GOURAUD, {0, 0, -1}, texture));
    frame->AddVisual(f.Mesh({{-1e30f, -1e30f, 2}, {-1e30f, 1e30f, 3e38f}, {1e30f, 1e30f, 1}},
                            {1, 1, 1}, D3DRMRENDER_GOURAUD));
    frame->AddVisual(f.Mesh({{-1, -1, 1.0000001f}, {-1, 1, 1e-30f}, {1, 1, 4999.9f}}, {1, 1, 1}));
    texture->Release();
    f.Draw();
    IDirect3DRMFace* face = nullptr;
    IDirect3DRMMeshBuilder2* m = f.Mesh(TRenderFixture::Square(5), {1, 1, 1});
    ASSERT_EQ(m->CreateFace(&face), D3DRM_OK);
    face->AddVertexAndNormalIndexed(0, 0);
    EXPECT_EQ(face->SetTextureCoordinates(0, NAN, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(face->SetColorRGB(INFINITY, 0, 0), D3DRMERR_BADVALUE);
    face->Release();
}

} // namespace
