#pragma once
// Turns a frame hierarchy into triangles for the rasterizer: gathers the lights, places every
// mesh in the camera's space, lights its corners, culls the faces turned away, clips at the
// front and back planes and projects.

#include "Rasterizer.h"
#include "Transform.h"
#include "platform/d3drm/D3DRMDef.h"

#include <vector>

class TRMFrame;
class TRMMeshBuilder;

struct TViewParams {
    float Front = 1;   // distance of the front plane
    float Back = 100;  // distance of the back plane
    float Field = 0.5; // half the larger side of the picture at distance 1
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class TSceneRenderer {
public:
    // The scratch buffers survive from one call to the next, so keep one renderer per
    // viewport.
    void Render(TRMFrame* Scene, const TPlacement& Camera, const TViewParams& View,
                D3DRMRENDERQUALITY DeviceQuality, TRasterizer& Raster);

private:
    struct TDirectional {
        TVec3 Direction; // where the light travels, world space, unit
        TVec3 Color;
    };
    // A corner in camera space, with what the rasterizer interpolates.
    struct TClipVertex {
        TVec3 P;
        float R, G, B, U, V;
    };

    void GatherLights(TRMFrame* Frame);
    void DrawFrame(TRMFrame* Frame, const TPlacement& World);
    void DrawMesh(TRMMeshBuilder& Mesh, const TPlacement& World);
    void DrawPolygon(int Count, const TRasterTexture* Texture, bool Gouraud);

    TVec3 Ambient;
    std::vector<TDirectional> Directionals;
    TPlacement ToCamera; // world to camera space
    TViewParams View;
    D3DRMRENDERQUALITY DeviceQuality = 0;
    TRasterizer* Raster = nullptr;
    float Scale = 1, CentreX = 0, CentreY = 0;
    float GuardSlope = 1; // |x| and |y| up to this times z stay unclipped

    std::vector<TVec3> ViewVertices;
    std::vector<TVec3> Light; // per normal (or per face), before the face colour
    std::vector<TDirectional> ModelLights;
    TClipVertex PolyA[12], PolyB[12];
};
