#pragma once
// A retained-mode object with a device on a memory target, a scene frame, a camera frame at
// the origin looking along +z, and a viewport covering the target: the set-up every image test
// starts from. Everything is released at the end and must reach a count of zero.

#include "platform/com/ComRef.h"
#include "platform/d3drm/D3DRM.h"
#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/RMDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TCornerSpec {
    float X, Y, Z;
    float U = 0, V = 0;
};

class TRenderFixture {
public:
    explicit TRenderFixture(int Width = 64, int Height = 64, int BitCount = 32, int DepthBits = 16)
        : Memory(Width, Height, BitCount, DepthBits) {
        D3DRMFailures().Clear();
        TComRef<IDirect3DRM> first;
        EXPECT_EQ(Direct3DRMCreate(first.Out()), D3DRM_OK);
        EXPECT_EQ(first->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&RM)), S_OK);
        EXPECT_EQ(CreateDeviceOnTarget(Memory.Source(), &Device), D3DRM_OK);
        EXPECT_EQ(RM->CreateFrame(nullptr, &Scene), D3DRM_OK);
        EXPECT_EQ(RM->CreateFrame(Scene, &Camera), D3DRM_OK);
        EXPECT_EQ(RM->CreateViewport(Device, Camera, 0, 0, Width, Height, &Viewport), D3DRM_OK);
        Viewport->SetBack(5000);
    }

    ~TRenderFixture() {
        for (IUnknown* u : Held)
            u->Release();
        EXPECT_EQ(Viewport->Release(), 0u);
        Camera->Release();
        EXPECT_EQ(Scene->Release(), 0u);
        EXPECT_EQ(Device->Release(), 0u);
        EXPECT_EQ(RM->Release(), 0u);
    }

    // A child frame of the scene at Position, kept until the fixture ends.
    IDirect3DRMFrame2* Frame(float X = 0, float Y = 0, float Z = 0) {
        IDirect3DRMFrame2* f = nullptr;
        EXPECT_EQ(RM->CreateFrame(Scene, &f), D3DRM_OK);
        f->SetPosition(Scene, X, Y, Z);
        Held.push_back(f);
        return f;
    }

    // A mesh of one face with the given corners (in order), all normals Normal, the colour
    // and, when given, a texture. Kept until the fixture ends.
    IDirect3DRMMeshBuilder2* Mesh(const std::vector<TCornerSpec>& Corners, D3DVECTOR Colour,
                                  D3DRMRENDERQUALITY Quality = D3DRMRENDER_UNLITFLAT,
                                  D3DVECTOR Normal = {0, 0, -1},
                                  IDirect3DRMTexture* Texture = nullptr) {
        IDirect3DRMMeshBuilder2* m = nullptr;
        EXPECT_EQ(RM->CreateMeshBuilder(&m), D3DRM_OK);
        AddFace(m, Corners, Colour, Normal, Texture);
        m->SetQuality(Quality);
        Held.push_back(m);
        return m;
    }

    static void AddFace(IDirect3DRMMeshBuilder* M, const std::vector<TCornerSpec>& Corners,
                        D3DVECTOR Colour, D3DVECTOR Normal = {0, 0, -1},
                        IDirect3DRMTexture* Texture = nullptr) {
        const int normal = M->AddNormal(Normal.x, Normal.y, Normal.z);
        TComRef<IDirect3DRMFace> face;
        EXPECT_EQ(M->CreateFace(face.Out()), D3DRM_OK);
        if (Texture)
            face->SetTexture(Texture);
        for (std::size_t i = 0; i < Corners.size(); ++i) {
            const TCornerSpec& c = Corners[i];
            const int v = M->AddVertex(c.X, c.Y, c.Z);
            EXPECT_EQ(face->AddVertexAndNormalIndexed(DWORD(v), DWORD(normal)), D3DRM_OK);
            face->SetTextureCoordinates(DWORD(i), c.U, c.V);
        }
        face->SetColorRGB(Colour.x, Colour.y, Colour.z);
    }

    // The square |x|, |y| <= Half at depth Z, its corners clockwise as seen from the camera
    // (so facing it), with texture coordinates v = 0 along its top.
    static std::vector<TCornerSpec> Square(float Z, float Half = 1, bool Facing = true) {
        std::vector<TCornerSpec> c{{-Half, -Half, Z, 0, 1},
                                   {-Half, Half, Z, 0, 0},
                                   {Half, Half, Z, 1, 0},
                                   {Half, -Half, Z, 1, 1}};
        if (!Facing)
            std::swap(c[1], c[3]);
        return c;
    }

    void Light(D3DRMLIGHTTYPE Type, float Level, D3DVECTOR Direction = {0, 0, 1}) {
        IDirect3DRMFrame2* f = Frame();
        f->SetOrientation(Scene, Direction.x, Direction.y, Direction.z, 0, 1, 0.01f);
        TComRef<IDirect3DRMLight> l;
        EXPECT_EQ(RM->CreateLightRGB(Type, Level, Level, Level, l.Out()), D3DRM_OK);
        EXPECT_EQ(f->AddLight(l.Get()), D3DRM_OK);
    }

    void Draw() {
        EXPECT_EQ(Viewport->Clear(), D3DRM_OK);
        EXPECT_EQ(Viewport->Render(Scene), D3DRM_OK);
        EXPECT_EQ(Device->Update(), D3DRM_OK);
    }

    int CountLit() const {
        int n = 0;
        for (int y = 0; y < Memory.Height; ++y)
            for (int x = 0; x < Memory.Width; ++x)
                n += Memory.At(x, y) != 0;
        return n;
    }

    TMemoryTarget Memory;
    IDirect3DRM2* RM = nullptr;
    IDirect3DRMDevice2* Device = nullptr;
    IDirect3DRMFrame2* Scene = nullptr;
    IDirect3DRMFrame2* Camera = nullptr;
    IDirect3DRMViewport* Viewport = nullptr;

private:
    std::vector<IUnknown*> Held;
};
