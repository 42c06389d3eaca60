#include "YachtIcon.h"

#include "platform/com/ComRef.h"
#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/RMDevice.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int kOversample = 4;

// One sample of the big picture: colour and coverage, 0..1.
struct TSample {
    float R = 0, G = 0, B = 0, A = 0;
};

// The sea behind the yacht: a disc, lighter towards its top where the light comes from.
TSample SeaAt(float X, float Y, float Side) {
    const float cx = Side / 2, cy = Side * 0.54f, r = Side * 0.44f;
    const float dx = X - cx, dy = Y - cy;
    if (dx * dx + dy * dy > r * r)
        return {};
    const float t = std::clamp((dy + r) / (2 * r), 0.0f, 1.0f);
    return {(40 - 20 * t) / 255, (120 - 50 * t) / 255, (200 - 60 * t) / 255, 1};
}

} // namespace

void PoseIconYacht(TDrawYacht& Scene) {
    // On a broad reach with the wind over the port quarter, heeled a little, the spinnaker
    // drawing and turned towards the camera.
    TYachtState state = ResetYachtState();
    state.Heading = 0;
    state.Heel = 10;
    state.WindAngle = -140;
    state.Tack = 1;
    state.Spinnaker = 1;
    Scene.FrameCounter = 1; // odd: no sail luffs
    Scene.SetYachtState(1, state);
}

TIconPicture RenderYachtIcon(TDrawYacht& Scene, int Size) {
    const int side = Size * kOversample;
    // A 32-bit colour buffer with a 16-bit depth buffer; the depth tells which pixels the yacht
    // covers. It outlives the device drawing into it.
    TMemoryTarget target(side, side, 32, 16);
    TComRef<IDirect3DRMDevice2> device;
    TComRef<IDirect3DRMViewport> viewport;
    CreateDeviceOnTarget(target.Source(), device.Out());
    device->SetQuality(D3DRMRENDER_GOURAUD);
    // From abeam on the port side, a little aft and low, looking up at the rig. The scene's
    // own camera is borrowed: the game's views are not wanted here.
    IDirect3DRMFrame2* camera = Scene.CameraFrame;
    const float eye[3] = {-15, 3.5f, -4}, at[3] = {0, 7, 1};
    const float d[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
    camera->SetPosition(Scene.YachtsFrame, eye[0], eye[1], eye[2]);
    camera->SetOrientation(Scene.YachtsFrame, d[0], d[1], d[2], 0, 1, 0);
    Scene.D3DRM()->CreateViewport(device.Get(), camera, 0, 0, side, side, viewport.Out());
    viewport->SetBack(5000);
    viewport->Clear();
    viewport->Render(Scene.SceneFrame);
    device->Update();
    viewport.Reset();

    TIconPicture picture;
    picture.Size = Size;
    picture.Pixels.reserve(std::size_t(Size) * Size);
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            TSample sum;
            for (int sy = 0; sy < kOversample; ++sy) {
                for (int sx = 0; sx < kOversample; ++sx) {
                    const int bx = x * kOversample + sx, by = y * kOversample + sy;
                    TSample s;
                    if (target.DepthAt(bx, by) != 0xFFFF) {
                        const std::uint32_t c = target.At(bx, by);
                        s = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f,
                             (c & 0xFF) / 255.0f, 1};
                    } else {
                        s = SeaAt(bx + 0.5f, by + 0.5f, float(side));
                    }
                    // Summed premultiplied, so the edges blend with what lies behind the icon.
                    sum.R += s.R * s.A;
                    sum.G += s.G * s.A;
                    sum.B += s.B * s.A;
                    sum.A += s.A;
                }
            }
            std::uint32_t pixel = 0;
            if (sum.A > 0) {
                auto channel = [&](float V) {
                    return std::uint32_t(std::lround(std::clamp(V / sum.A, 0.0f, 1.0f) * 255));
                };
                const float alpha = sum.A / (kOversample * kOversample);
                pixel = (std::uint32_t(std::lround(alpha * 255)) << 24) | (channel(sum.R) << 16) |
                        (channel(sum.G) << 8) | channel(sum.B);
            }
            picture.Pixels.push_back(pixel);
        }
    }
    return picture;
}
