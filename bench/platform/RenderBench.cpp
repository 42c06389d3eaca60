// One frame of the retained-mode stand-in (Clear, Render, Update) beside Mesa's software
// OpenGL drawing the same fleet in the same run, into 640 x 480 5-6-5 pictures with 16-bit
// depth. Prints our time over the peer's: the goal is at most 1.

#include "bench/BenchPicture.h"
#include "bench/FrameRecorder.h"
#include "bench/platform/BenchFleet.h"
#include "bench/platform/MesaRenderPeer.h"
#include "platform/com/ComRef.h"
#include "platform/d3drm/D3DRM.h"
#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/RMDevice.h"
#include "platform/image/BmpFile.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A 640 x 480 5-6-5 picture and 16-bit depth buffer in memory.
// Writes a texture as a 24-bit bitmap for LoadTexture.
void SaveBmp(const TBenchTexture& T, const std::string& Path) {
    const std::size_t stride = BmpStride(T.Width, 24);
    std::vector<std::uint8_t> rows(stride * std::size_t(T.Height), 0);
    for (int y = 0; y < T.Height; ++y)
        for (int x = 0; x < T.Width; ++x) {
            const std::uint32_t c = T.Texels[std::size_t(T.Height - 1 - y) * T.Width + x];
            std::uint8_t* p = rows.data() + std::size_t(y) * stride + x * 3;
            p[0] = std::uint8_t(c), p[1] = std::uint8_t(c >> 8), p[2] = std::uint8_t(c >> 16);
        }
    TBmpShape shape;
    shape.Width = T.Width;
    shape.Height = T.Height;
    shape.StateImageSize = false;
    shape.PelsPerMeter = 0;
    const std::vector<std::uint8_t> f = EncodeBmpFile(shape, rows);
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}

// The fleet as frames and mesh builders of the stand-in.
class TOurScene {
public:
    explicit TOurScene(const TBenchFleet& F) {
        TComRef<IDirect3DRM> first;
        Direct3DRMCreate(first.Out());
        first->QueryInterface(IID_IDirect3DRM2, RM.OutVoid());
        CreateDeviceOnTarget(Target.Source(), Device.Out());
        Device->SetQuality(D3DRMRENDER_GOURAUD);
        RM->CreateFrame(nullptr, Scene.Out());
        RM->CreateFrame(Scene.Get(), Camera.Out());
        Camera->SetPosition(Scene.Get(), F.EyeX, F.EyeY, F.EyeZ);
        Camera->SetOrientation(Scene.Get(), F.AtX - F.EyeX, F.AtY - F.EyeY, F.AtZ - F.EyeZ, 0, 1,
                               0);
        RM->CreateViewport(Device.Get(), Camera.Get(), 0, 0, kWidth, kHeight, Viewport.Out());
        Viewport->SetBack(5000);

        TComRef<IDirect3DRMFrame2> lights;
        RM->CreateFrame(Scene.Get(), lights.Out());
        lights->SetOrientation(Scene.Get(), F.LightX, F.LightY, F.LightZ, 0, 1, 0);
        TComRef<IDirect3DRMLight> light;
        RM->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, F.Directional, F.Directional, F.Directional,
                           light.Out());
        lights->AddLight(light.Get());
        RM->CreateLightRGB(D3DRMLIGHT_AMBIENT, F.Ambient, F.Ambient, F.Ambient, light.Out());
        lights->AddLight(light.Get());

        IDirect3DRMTexture2* textures[2] = {};
        for (int t = 0; t < 2; ++t) {
            const std::string path = (std::filesystem::temp_directory_path() /
                                      ("marevo-render-bench-" + std::to_string(t) + ".bmp"))
                                         .string();
            SaveBmp(F.Textures[t], path);
            RM->LoadTexture(path.c_str(), &textures[t]);
            std::filesystem::remove(path);
        }
        std::map<const TBenchMesh*, IDirect3DRMMeshBuilder2*> meshes;
        for (const TBenchMesh* m : {&F.Hull, &F.MainSail, &F.Jib, &F.Spinnaker})
            meshes[m] = Build(*m, textures[m->Texture]);
        for (const TBenchPlacement& p : F.Placements) {
            TComRef<IDirect3DRMFrame2> frame;
            RM->CreateFrame(Scene.Get(), frame.Out());
            frame->SetPosition(Scene.Get(), p.X, p.Y, p.Z);
            const float h = p.Heading * 3.14159265f / 180;
            frame->SetOrientation(Scene.Get(), -std::sin(h), 0, std::cos(h), 0, 1, 0);
            frame->AddVisual(meshes[p.Mesh]);
        }
        for (auto& [_, m] : meshes)
            m->Release();
        for (IDirect3DRMTexture2* t : textures)
            t->Release();
    }
    void DrawFrame() {
        Viewport->Clear();
        Viewport->Render(Scene.Get());
        Device->Update();
    }
    std::vector<std::uint16_t> Picture() const {
        std::vector<std::uint16_t> picture(Target.Pixels.size() / 2);
        std::memcpy(picture.data(), Target.Pixels.data(), Target.Pixels.size());
        return picture;
    }

private:
    IDirect3DRMMeshBuilder2* Build(const TBenchMesh& M, IDirect3DRMTexture2* Texture) {
        IDirect3DRMMeshBuilder2* b = nullptr;
        RM->CreateMeshBuilder(&b);
        for (const TBenchTriangle& t : M.Triangles) {
            TComRef<IDirect3DRMFace> face;
            b->CreateFace(face.Out());
            if (t.Textured)
                face->SetTexture(Texture);
            for (int k = 0; k < 3; ++k) {
                const TBenchCorner& c = t.Corner[k];
                const int v = b->AddVertex(c.X, c.Y, c.Z);
                const int n = b->AddNormal(c.NX, c.NY, c.NZ);
                face->AddVertexAndNormalIndexed(DWORD(v), DWORD(n));
                face->SetTextureCoordinates(DWORD(k), c.U, c.V);
            }
            face->SetColorRGB(t.R, t.G, t.B);
        }
        b->SetQuality(M.Lit ? D3DRMRENDER_GOURAUD : D3DRMRENDER_UNLITFLAT);
        return b;
    }

    // First, so that it outlives the device drawing into it.
    TMemoryTarget Target{kWidth, kHeight, 16, 16};
    // Released in the reverse order: the viewport first, the retained-mode object last.
    TComRef<IDirect3DRM2> RM;
    TComRef<IDirect3DRMDevice2> Device;
    TComRef<IDirect3DRMFrame2> Scene;
    TComRef<IDirect3DRMFrame2> Camera;
    TComRef<IDirect3DRMViewport> Viewport;
};

const TBenchFleet& Fleet() {
    static const TBenchFleet fleet = MakeBenchFleet();
    return fleet;
}

void BM_StandInFrame(benchmark::State& State) {
    TOurScene scene(Fleet());
    for (auto _ : State)
        scene.DrawFrame();
    State.counters["lit"] = LitPixels(scene.Picture());
    SaveBenchPicture(scene.Picture(), kWidth, kHeight, "d3drm.ppm");
}
BENCHMARK(BM_StandInFrame)->Unit(benchmark::kMillisecond);

void BM_MesaPeerFrame(benchmark::State& State) {
    TMesaRenderPeer peer(Fleet(), kWidth, kHeight);
    for (auto _ : State)
        peer.DrawFrame();
    State.counters["lit"] = LitPixels(peer.Picture());
    SaveBenchPicture(peer.Picture(), kWidth, kHeight, "mesa.ppm");
}
BENCHMARK(BM_MesaPeerFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("LP_NUM_THREADS", "0", 1); // the peer on one thread, as the stand-in draws
    benchmark::Initialize(&argc, argv);
    TFrameRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    const double ours = recorder.Time("BM_StandInFrame"), peer = recorder.Time("BM_MesaPeerFrame");
    if (ours > 0 && peer > 0)
        std::printf("stand-in frame / Mesa peer frame: %.2f (goal: at most 1)\n", ours / peer);
    return 0;
}
