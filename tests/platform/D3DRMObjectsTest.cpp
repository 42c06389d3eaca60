#include "platform/d3drm/D3DRM.h"
#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/RMDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

class D3DRMObjects : public ::testing::Test {
protected:
    void SetUp() override {
        D3DRMFailures().Clear();
        IDirect3DRM* first = nullptr;
        ASSERT_EQ(Direct3DRMCreate(&first), D3DRM_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&RM)), S_OK);
        EXPECT_EQ(first->Release(), 1u);
    }
    void TearDown() override {
        if (RM) {
            EXPECT_EQ(RM->Release(), 0u);
        }
        D3DRMFailures().Clear();
    }

    IDirect3DRM2* RM = nullptr;
};

TEST_F(D3DRMObjects, AWholeDeviceChainReleasedInTheDisplayComponentsOrderEndsAtZero) {
    TMemoryTarget memory;
    IDirect3DRMDevice2* device = nullptr;
    ASSERT_EQ(CreateDeviceOnTarget(memory.Source(), &device), D3DRM_OK);
    EXPECT_EQ(device->SetBufferCount(2), D3DRM_OK);

    IDirect3DRMFrame2* scene = nullptr;
    IDirect3DRMFrame2* camera = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &scene), D3DRM_OK);
    ASSERT_EQ(RM->CreateFrame(scene, &camera), D3DRM_OK);
    IDirect3DRMViewport* viewport = nullptr;
    ASSERT_EQ(RM->CreateViewport(device, camera, 0, 0, 64, 64, &viewport), D3DRM_OK);
    EXPECT_EQ(viewport->SetBack(5000), D3DRM_OK);
    EXPECT_EQ(viewport->Clear(), D3DRM_OK);
    EXPECT_EQ(viewport->Render(scene), D3DRM_OK);
    EXPECT_EQ(device->Update(), D3DRM_OK);

    EXPECT_EQ(camera->Release(), 2u); // the scene and the viewport
    EXPECT_EQ(scene->Release(), 0u);
    EXPECT_EQ(viewport->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

} // namespace

namespace {

TEST_F(D3DRMObjects, AFrameKeepsItsChildrenVisualsAndLightsAlive) {
    IDirect3DRMFrame2* parent = nullptr;
    IDirect3DRMFrame2* child = nullptr;
    IDirect3DRMMeshBuilder2* mesh = nullptr;
    IDirect3DRMLight* light = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &parent), D3DRM_OK);
    ASSERT_EQ(RM->CreateFrame(parent, &child), D3DRM_OK);
    ASSERT_EQ(RM->CreateMeshBuilder(&mesh), D3DRM_OK);
    ASSERT_EQ(RM->CreateLightRGB(D3DRMLIGHT_AMBIENT, 1, 1, 1, &light), D3DRM_OK);
    ASSERT_EQ(child->AddVisual(mesh), D3DRM_OK);
    ASSERT_EQ(child->AddLight(light), D3DRM_OK);
    EXPECT_EQ(child->Release(), 1u);
    EXPECT_EQ(mesh->AddRef(), 3u);
    EXPECT_EQ(mesh->Release(), 2u);
    EXPECT_EQ(light->Release(), 1u);

    IDirect3DRMFrameArray* children = nullptr;
    ASSERT_EQ(parent->GetChildren(&children), D3DRM_OK);
    ASSERT_EQ(children->GetSize(), 1u);
    IDirect3DRMFrame* again = nullptr;
    ASSERT_EQ(children->GetElement(0, &again), D3DRM_OK);
    EXPECT_EQ(again, static_cast<IDirect3DRMFrame*>(child));
    EXPECT_EQ(children->GetElement(1, &again), D3DRMERR_BADVALUE);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(children->Release(), 0u);
    EXPECT_EQ(child->Release(), 1u); // the reference GetElement gave

    // The parent's end takes the child, and the child its mesh and light.
    EXPECT_EQ(parent->Release(), 0u);
    EXPECT_EQ(mesh->Release(), 0u);
}

TEST_F(D3DRMObjects, ChildrenAndVisualsComeBackInTheOrderAdded) {
    IDirect3DRMFrame2* parent = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &parent), D3DRM_OK);
    std::vector<IDirect3DRMFrame2*> children(4);
    std::vector<IDirect3DRMMeshBuilder2*> meshes(3);
    for (auto*& c : children) {
        ASSERT_EQ(RM->CreateFrame(parent, &c), D3DRM_OK);
        c->Release();
    }
    for (auto*& m : meshes) {
        ASSERT_EQ(RM->CreateMeshBuilder(&m), D3DRM_OK);
        parent->AddVisual(m);
        m->Release();
    }
    parent->AddVisual(meshes[0]); // a second time: two entries

    IDirect3DRMFrameArray* frames = nullptr;
    ASSERT_EQ(parent->GetChildren(&frames), D3DRM_OK);
    ASSERT_EQ(frames->GetSize(), 4u);
    for (DWORD i = 0; i < 4; ++i) {
        IDirect3DRMFrame* f = nullptr;
        ASSERT_EQ(frames->GetElement(i, &f), D3DRM_OK);
        EXPECT_EQ(f, static_cast<IDirect3DRMFrame*>(children[i]));
        f->Release();
    }
    frames->Release();

    IDirect3DRMVisualArray* visuals = nullptr;
    ASSERT_EQ(parent->GetVisuals(&visuals), D3DRM_OK);
    ASSERT_EQ(visuals->GetSize(), 4u);
    // The array is a snapshot that holds its elements: deleting them all from the frame keeps
    // them alive in the array, the way the scene keeps its sail sets.
    for (DWORD i = 0; i < 4; ++i) {
        IDirect3DRMVisual* v = nullptr;
        ASSERT_EQ(visuals->GetElement(i, &v), D3DRM_OK);
        EXPECT_EQ(v, static_cast<IDirect3DRMVisual*>(meshes[i % 3]));
        EXPECT_EQ(parent->DeleteVisual(v), D3DRM_OK);
        v->Release();
    }
    EXPECT_EQ(parent->DeleteVisual(meshes[0]), D3DRMERR_NOTFOUND);
    IDirect3DRMVisualArray* empty = nullptr;
    ASSERT_EQ(parent->GetVisuals(&empty), D3DRM_OK);
    EXPECT_EQ(empty->GetSize(), 0u);
    EXPECT_EQ(empty->Release(), 0u);
    IDirect3DRMVisual* kept = nullptr;
    ASSERT_EQ(visuals->GetElement(2, &kept), D3DRM_OK);
    EXPECT_EQ(kept->Release(), 1u);
    EXPECT_EQ(visuals->Release(), 0u);
    EXPECT_EQ(parent->Release(), 0u);
}

TEST_F(D3DRMObjects, AFaceChecksItsCornersAndOutlivesItsMeshSafely) {
    IDirect3DRMMeshBuilder2* mesh = nullptr;
    ASSERT_EQ(RM->CreateMeshBuilder(&mesh), D3DRM_OK);
    EXPECT_EQ(mesh->AddVertex(0, 0, 0), 0);
    EXPECT_EQ(mesh->AddVertex(1, 0, 0), 1);
    EXPECT_EQ(mesh->AddNormal(0, 0, -1), 0);
    EXPECT_EQ(mesh->AddVertex(NAN, 0, 0), -1);
    IDirect3DRMFace* face = nullptr;
    ASSERT_EQ(mesh->CreateFace(&face), D3DRM_OK);
    EXPECT_EQ(face->AddVertexAndNormalIndexed(1, 0), D3DRM_OK);
    EXPECT_EQ(face->AddVertexAndNormalIndexed(2, 0), D3DRMERR_BADVALUE); // no vertex 2
    EXPECT_EQ(face->AddVertexAndNormalIndexed(0, 1), D3DRMERR_BADVALUE); // no normal 1
    EXPECT_EQ(face->SetTextureCoordinates(0, 0.5f, 0.5f), D3DRM_OK);
    EXPECT_EQ(face->SetTextureCoordinates(1, 0.5f, 0.5f), D3DRMERR_BADVALUE); // one corner
    EXPECT_EQ(mesh->Release(), 0u); // a face does not keep its mesh alive
    // The mesh is gone; its face, still held by the caller, no longer takes corners.
    EXPECT_EQ(face->AddVertexAndNormalIndexed(0, 0), D3DRMERR_BADOBJECT);
    EXPECT_EQ(face->Release(), 0u);
}

TEST_F(D3DRMObjects, OnlyAmbientAndDirectionalLightsAreMade) {
    IDirect3DRMLight* light = nullptr;
    EXPECT_EQ(RM->CreateLightRGB(D3DRMLIGHT_POINT, 1, 1, 1, &light), D3DRMERR_BADVALUE);
    EXPECT_EQ(light, nullptr);
    ASSERT_EQ(RM->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, &light), D3DRM_OK);
    EXPECT_EQ(light->Release(), 0u);
    // Only a light of ours can be hung on a frame.
    IDirect3DRMFrame2* frame = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &frame), D3DRM_OK);
    EXPECT_EQ(frame->AddLight(nullptr), D3DRMERR_BADOBJECT);
    EXPECT_EQ(frame->Release(), 0u);
}

TEST_F(D3DRMObjects, ATextureThatCannotBeLoadedFailsCleanly) {
    const std::string dir = ::testing::TempDir();
    struct TCase {
        std::string Name;
        std::string Bytes; // empty: no file at all
        HRESULT Expected;
    } cases[] = {
        {"", "", D3DRMERR_FILENOTFOUND},
        {"missing.bmp", "", D3DRMERR_FILENOTFOUND},
        {"text.bmp", "this is not a bitmap", D3DRMERR_BADFILE},
        {"short.bmp", "BM\x10\0\0\0", D3DRMERR_BADFILE},
    };
    for (const TCase& c : cases) {
        const std::string path = c.Name.empty() ? "" : dir + "/" + c.Name;
        if (!c.Bytes.empty())
            std::ofstream(path, std::ios::binary) << c.Bytes;
        IDirect3DRMTexture2* texture = reinterpret_cast<IDirect3DRMTexture2*>(this);
        EXPECT_EQ(RM->LoadTexture(path.c_str(), &texture), c.Expected) << c.Name;
        EXPECT_EQ(texture, nullptr) << c.Name;
        if (!c.Bytes.empty())
            std::remove(path.c_str());
    }
}

TEST_F(D3DRMObjects, QueryInterfaceAnswersOnlyForTheObjectsOwnInterfaces) {
    IDirect3DRMFrame2* frame = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &frame), D3DRM_OK);
    void* out = nullptr;
    EXPECT_EQ(frame->QueryInterface(IID_IDirect3DRMVisual, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(static_cast<IDirect3DRMFrame2*>(frame)));
    EXPECT_EQ(frame->QueryInterface(IID_IDirect3DRMMeshBuilder, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(frame->Release(), 1u);
    EXPECT_EQ(frame->Release(), 0u);
}

// Every operation the game calls can be made to fail; a failed call leaves no object behind
// and changes nothing.
TEST_F(D3DRMObjects, EveryOperationCanBeMadeToFail) {
    TMemoryTarget memory;
    IDirect3DRMDevice2* device = nullptr;
    ASSERT_EQ(CreateDeviceOnTarget(memory.Source(), &device), D3DRM_OK);
    IDirect3DRMFrame2* scene = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &scene), D3DRM_OK);
    IDirect3DRMMeshBuilder2* mesh = nullptr;
    ASSERT_EQ(RM->CreateMeshBuilder(&mesh), D3DRM_OK);
    mesh->AddVertex(0, 0, 0);
    mesh->AddNormal(0, 0, -1);
    IDirect3DRMFace* face = nullptr;
    ASSERT_EQ(mesh->CreateFace(&face), D3DRM_OK);
    face->AddVertexAndNormalIndexed(0, 0);
    IDirect3DRMViewport* viewport = nullptr;
    ASSERT_EQ(RM->CreateViewport(device, scene, 0, 0, 64, 64, &viewport), D3DRM_OK);
    scene->AddVisual(mesh);
    IDirect3DRMFrameArray* frames = nullptr;
    scene->GetChildren(&frames);
    IDirect3DRMVisualArray* visuals = nullptr;
    scene->GetVisuals(&visuals);

    const HRESULT code = D3DRMERR_NOTDONEYET;
    struct TCase {
        const char* Call;
        std::function<HRESULT()> Run;
    } cases[] = {
        {"Direct3DRMCreate",
         [&] {
             IDirect3DRM* rm = nullptr;
             HRESULT hr = Direct3DRMCreate(&rm);
             EXPECT_EQ(rm, nullptr);
             return hr;
         }},
        {"IDirect3DRM::QueryInterface",
         [&] {
             void* p = nullptr;
             return RM->QueryInterface(IID_IDirect3DRM2, &p);
         }},
        {"IDirect3DRM2::CreateFrame",
         [&] {
             IDirect3DRMFrame2* f = nullptr;
             return RM->CreateFrame(scene, &f);
         }},
        {"IDirect3DRM2::CreateMeshBuilder",
         [&] {
             IDirect3DRMMeshBuilder2* m = nullptr;
             return RM->CreateMeshBuilder(&m);
         }},
        {"IDirect3DRM2::CreateLightRGB",
         [&] {
             IDirect3DRMLight* l = nullptr;
             return RM->CreateLightRGB(D3DRMLIGHT_AMBIENT, 1, 1, 1, &l);
         }},
        {"IDirect3DRM2::LoadTexture",
         [&] {
             IDirect3DRMTexture2* t = nullptr;
             return RM->LoadTexture("x.bmp", &t);
         }},
        {"IDirect3DRM2::CreateDeviceFromD3D",
         [&] {
             IDirect3DRMDevice2* d = nullptr;
             return RM->CreateDeviceFromD3D(nullptr, nullptr, &d);
         }},
        {"IDirect3DRM2::CreateViewport",
         [&] {
             IDirect3DRMViewport* v = nullptr;
             return RM->CreateViewport(device, scene, 0, 0, 8, 8, &v);
         }},
        {"IDirect3DRMDevice::SetQuality", [&] { return device->SetQuality(D3DRMRENDER_GOURAUD); }},
        {"IDirect3DRMDevice::SetBufferCount", [&] { return device->SetBufferCount(2); }},
        {"IDirect3DRMDevice::Update", [&] { return device->Update(); }},
        {"IDirect3DRMViewport::SetBack", [&] { return viewport->SetBack(5000); }},
        {"IDirect3DRMViewport::SetCamera", [&] { return viewport->SetCamera(scene); }},
        {"IDirect3DRMViewport::Clear", [&] { return viewport->Clear(); }},
        {"IDirect3DRMViewport::Render", [&] { return viewport->Render(scene); }},
        {"IDirect3DRMFrame::AddLight", [&] { return scene->AddLight(nullptr); }},
        {"IDirect3DRMFrame::AddVisual", [&] { return scene->AddVisual(mesh); }},
        {"IDirect3DRMFrame::DeleteVisual", [&] { return scene->DeleteVisual(mesh); }},
        {"IDirect3DRMFrame::GetChildren",
         [&] {
             IDirect3DRMFrameArray* a = nullptr;
             return scene->GetChildren(&a);
         }},
        {"IDirect3DRMFrame::GetVisuals",
         [&] {
             IDirect3DRMVisualArray* a = nullptr;
             return scene->GetVisuals(&a);
         }},
        {"IDirect3DRMFrame::SetPosition", [&] { return scene->SetPosition(nullptr, 1, 2, 3); }},
        {"IDirect3DRMFrame::GetPosition",
         [&] {
             D3DVECTOR p;
             return scene->GetPosition(nullptr, &p);
         }},
        {"IDirect3DRMFrame::SetOrientation",
         [&] { return scene->SetOrientation(nullptr, 1, 0, 0, 0, 1, 0); }},
        {"IDirect3DRMFrame::GetOrientation",
         [&] {
             D3DVECTOR d, u;
             return scene->GetOrientation(nullptr, &d, &u);
         }},
        {"IDirect3DRMMeshBuilder::AddVertex",
         [&] { return mesh->AddVertex(1, 1, 1) < 0 ? code : D3DRM_OK; }},
        {"IDirect3DRMMeshBuilder::AddNormal",
         [&] { return mesh->AddNormal(1, 1, 1) < 0 ? code : D3DRM_OK; }},
        {"IDirect3DRMMeshBuilder::CreateFace",
         [&] {
             IDirect3DRMFace* f = nullptr;
             return mesh->CreateFace(&f);
         }},
        {"IDirect3DRMMeshBuilder::SetQuality", [&] { return mesh->SetQuality(128); }},
        {"IDirect3DRMFace::AddVertexAndNormalIndexed",
         [&] { return face->AddVertexAndNormalIndexed(0, 0); }},
        {"IDirect3DRMFace::SetColorRGB", [&] { return face->SetColorRGB(1, 0, 0); }},
        {"IDirect3DRMFace::SetTexture", [&] { return face->SetTexture(nullptr); }},
        {"IDirect3DRMFace::SetTextureCoordinates",
         [&] { return face->SetTextureCoordinates(0, 1, 1); }},
        {"IDirect3DRMFrameArray::GetElement",
         [&] {
             IDirect3DRMFrame* f = nullptr;
             return frames->GetElement(0, &f);
         }},
        {"IDirect3DRMVisualArray::GetElement",
         [&] {
             IDirect3DRMVisual* v = nullptr;
             return visuals->GetElement(0, &v);
         }},
    };
    D3DRMFailures().Clear();
    for (const TCase& c : cases) {
        D3DRMFailures().Fail(c.Call, code);
        EXPECT_EQ(c.Run(), code) << c.Call;
        EXPECT_EQ(D3DRMFailures().Calls(c.Call), 1) << c.Call;
        D3DRMFailures().Clear();
    }
    // Nothing was added or changed by the failed calls.
    D3DVECTOR p;
    scene->GetPosition(nullptr, &p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(visuals->GetSize(), 1u);
    EXPECT_EQ(mesh->AddVertex(0, 0, 0), 1);

    frames->Release();
    visuals->Release();
    face->Release();
    EXPECT_EQ(viewport->Release(), 0u);
    EXPECT_EQ(scene->Release(), 0u);
    EXPECT_EQ(mesh->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

} // namespace
