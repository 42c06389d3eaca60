#include "SceneRenderer.h"

#include "RMFrame.h"
#include "RMLight.h"
#include "RMMeshBuilder.h"
#include "RMTexture.h"

#include <algorithm>

namespace {

// Each of the three fields of a quality, the lower of the two.
D3DRMRENDERQUALITY LowerQuality(D3DRMRENDERQUALITY A, D3DRMRENDERQUALITY B) {
    return std::min(A & D3DRMSHADE_MASK, B & D3DRMSHADE_MASK) +
           std::min(A & D3DRMLIGHT_MASK, B & D3DRMLIGHT_MASK) +
           std::min(A & D3DRMFILL_MASK, B & D3DRMFILL_MASK);
}

TVec3 Modulate(TVec3 Color, TVec3 Light) {
    return {std::min(Color.X * Light.X, 1.0f), std::min(Color.Y * Light.Y, 1.0f),
            std::min(Color.Z * Light.Z, 1.0f)};
}

} // namespace

void TSceneRenderer::Render(TRMFrame* Scene, const TPlacement& Camera, const TViewParams& ViewIn,
                            D3DRMRENDERQUALITY Quality, TRasterizer& RasterIn) {
    View = ViewIn;
    DeviceQuality = Quality;
    Raster = &RasterIn;
    ToCamera = Camera.Inverse();
    Scale = std::max(View.Width, View.Height) * 0.5f / View.Field;
    CentreX = View.X + View.Width * 0.5f;
    CentreY = View.Y + View.Height * 0.5f;
    // Beyond about 8000 pixels from the centre the projected coordinates lose the precision
    // the edges need, so such corners are cut off in camera space first.
    GuardSlope = 8192.0f / Scale;

    Ambient = {};
    Directionals.clear();
    GatherLights(Scene);
    DrawFrame(Scene, Scene->World());
}

void TSceneRenderer::GatherLights(TRMFrame* Frame) {
    for (const TRMLight* l : Frame->Lights()) {
        if (l->Type == D3DRMLIGHT_AMBIENT)
            Ambient = Ambient + l->Color;
        else if (l->Type == D3DRMLIGHT_DIRECTIONAL)
            Directionals.push_back({Normalized(Frame->World().AxisZ), l->Color});
    }
    for (TRMFrame* c : Frame->Children())
        GatherLights(c);
}

void TSceneRenderer::DrawFrame(TRMFrame* Frame, const TPlacement& World) {
    for (IDirect3DRMVisual* v : Frame->Visuals())
        if (auto* mesh = dynamic_cast<TRMMeshBuilder*>(v))
            DrawMesh(*mesh, World);
    for (TRMFrame* c : Frame->Children())
        DrawFrame(c, World.Then(c->LocalPlacement()));
}

void TSceneRenderer::DrawMesh(TRMMeshBuilder& Mesh, const TPlacement& World) {
    const TPreparedMesh& g = Mesh.Geometry();
    if (g.Triangles.empty())
        return;
    const D3DRMRENDERQUALITY quality = LowerQuality(DeviceQuality, Mesh.Quality());
    const bool lit = (quality & D3DRMLIGHT_MASK) >= D3DRMLIGHT_ON;
    const bool gouraud = lit && (quality & D3DRMSHADE_MASK) >= D3DRMSHADE_GOURAUD;

    const TPlacement toCamera = ToCamera.Then(World);
    ViewVertices.resize(g.Vertices.size());
    for (std::size_t i = 0; i < g.Vertices.size(); ++i)
        ViewVertices[i] = toCamera.Point(g.Vertices[i]);

    // Lights are brought into the mesh's own space, where its normals are.
    ModelLights.clear();
    for (const TDirectional& d : Directionals)
        ModelLights.push_back({World.DirectionIn(d.Direction), d.Color});
    auto lightOf = [this](TVec3 Normal) {
        TVec3 sum = Ambient;
        for (const TDirectional& d : ModelLights)
            sum = sum + d.Color * std::max(0.0f, -Dot(Normal, d.Direction));
        return sum;
    };
    if (gouraud) {
        Light.resize(g.Normals.size());
        for (std::size_t i = 0; i < g.Normals.size(); ++i)
            Light[i] = lightOf(g.Normals[i]);
    }

    for (const TPreparedTriangle& t : g.Triangles) {
        const TVec3 p0 = ViewVertices[t.Vertex[0]], p1 = ViewVertices[t.Vertex[1]],
                    p2 = ViewVertices[t.Vertex[2]];
        // Drawn only from the side (v1 - v0) x (v2 - v0) points to; the camera sits at 0.
        if (Dot(Cross(p1 - p0, p2 - p0), p0) >= 0)
            continue;
        if ((p0.Z < View.Front && p1.Z < View.Front && p2.Z < View.Front) ||
            (p0.Z > View.Back && p1.Z > View.Back && p2.Z > View.Back))
            continue;

        TRasterTexture texture;
        if (t.Texture)
            texture = {t.Texture->Image.Texels.data(), t.Texture->Image.Width,
                       t.Texture->Image.Height};
        TVec3 colour[3];
        if (!lit) {
            // Unlit, a texture shows at full strength.
            colour[0] = colour[1] = colour[2] = t.Texture ? TVec3{1, 1, 1} : t.Color;
        } else if (gouraud) {
            for (int j = 0; j < 3; ++j)
                colour[j] = Modulate(t.Color, Light[t.Normal[j]]);
        } else {
            colour[0] = colour[1] = colour[2] = Modulate(t.Color, lightOf(t.FaceNormal));
        }
        const TVec3* p[3] = {&p0, &p1, &p2};
        for (int j = 0; j < 3; ++j)
            PolyA[j] = {*p[j], colour[j].X, colour[j].Y, colour[j].Z, t.U[j], t.V[j]};
        DrawPolygon(3, t.Texture ? &texture : nullptr, gouraud);
    }
}

namespace {

// Sutherland-Hodgman against Distance(v) >= 0. A cut point is always computed from the corner
// inside, so two triangles sharing a cut edge get the very same new corner.
template <class TVertex, class TDistance>
int ClipPolygon(const TVertex* In, int Count, TVertex* Out, TDistance Distance) {
    int n = 0;
    for (int i = 0; i < Count; ++i) {
        const TVertex& a = In[i];
        const TVertex& b = In[(i + 1) % Count];
        const float da = Distance(a.P), db = Distance(b.P);
        if (da >= 0)
            Out[n++] = a;
        if ((da >= 0) != (db >= 0)) {
            const TVertex& in = da >= 0 ? a : b;
            const TVertex& out = da >= 0 ? b : a;
            const float di = da >= 0 ? da : db, dout = da >= 0 ? db : da;
            const float s = di / (di - dout);
            TVertex c;
            c.P = in.P + (out.P - in.P) * s;
            c.R = in.R + (out.R - in.R) * s;
            c.G = in.G + (out.G - in.G) * s;
            c.B = in.B + (out.B - in.B) * s;
            c.U = in.U + (out.U - in.U) * s;
            c.V = in.V + (out.V - in.V) * s;
            Out[n++] = c;
        }
    }
    return n;
}

} // namespace

void TSceneRenderer::DrawPolygon(int Count, const TRasterTexture* Texture, bool Gouraud) {
    const float front = View.Front, back = View.Back, guard = GuardSlope;
    bool nearCut = false, farCut = false, sideCut = false;
    for (int i = 0; i < Count; ++i) {
        const TVec3& p = PolyA[i].P;
        nearCut |= p.Z < front;
        farCut |= p.Z > back;
        sideCut |= std::abs(p.X) > guard * p.Z || std::abs(p.Y) > guard * p.Z;
    }
    TClipVertex* cur = PolyA;
    TClipVertex* other = PolyB;
    auto cut = [&](auto Distance) {
        Count = ClipPolygon(cur, Count, other, Distance);
        std::swap(cur, other);
    };
    if (nearCut)
        cut([front](TVec3 P) { return P.Z - front; });
    if (farCut && Count >= 3)
        cut([back](TVec3 P) { return back - P.Z; });
    if (sideCut) {
        if (Count >= 3)
            cut([guard](TVec3 P) { return guard * P.Z - P.X; });
        if (Count >= 3)
            cut([guard](TVec3 P) { return guard * P.Z + P.X; });
        if (Count >= 3)
            cut([guard](TVec3 P) { return guard * P.Z - P.Y; });
        if (Count >= 3)
            cut([guard](TVec3 P) { return guard * P.Z + P.Y; });
    }
    if (Count < 3)
        return;

    TRasterVertex r[12];
    for (int i = 0; i < Count; ++i) {
        const TClipVertex& c = cur[i];
        const float q = 1.0f / c.P.Z;
        r[i] = {
            CentreX + c.P.X * q * Scale, CentreY - c.P.Y * q * Scale, q, c.R, c.G, c.B, c.U, c.V};
    }
    for (int i = 1; i + 1 < Count; ++i)
        Raster->DrawTriangle(r[0], r[i], r[i + 1], Texture, Gouraud);
}
