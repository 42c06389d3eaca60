#include "RMMeshBuilder.h"

#include "RMFace.h"
#include "RMTexture.h"

#include <cmath>

TRMMeshBuilder::TRMMeshBuilder()
    : TRMObject("IDirect3DRMMeshBuilder",
                {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMMeshBuilder,
                 IID_IDirect3DRMMeshBuilder2}) {}

TRMMeshBuilder::~TRMMeshBuilder() {
    for (TRMFace* f : Faces) {
        f->Detach();
        f->Release();
    }
}

int TRMMeshBuilder::AddVertex(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) {
    if (FAILED(Check("IDirect3DRMMeshBuilder::AddVertex")))
        return -1;
    // A vertex that is not a finite point could only poison the transforms downstream.
    if (!std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z))
        return -1;
    Vertices.push_back({X, Y, Z});
    Dirty = true;
    return static_cast<int>(Vertices.size() - 1);
}

int TRMMeshBuilder::AddNormal(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) {
    if (FAILED(Check("IDirect3DRMMeshBuilder::AddNormal")))
        return -1;
    if (!std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z))
        return -1;
    Normals.push_back({X, Y, Z});
    Dirty = true;
    return static_cast<int>(Normals.size() - 1);
}

HRESULT TRMMeshBuilder::CreateFace(IDirect3DRMFace** Face) {
    if (!Face)
        return D3DRMERR_BADVALUE;
    *Face = nullptr;
    if (HRESULT hr = Check("IDirect3DRMMeshBuilder::CreateFace"); FAILED(hr))
        return hr;
    auto* face = new TRMFace(this);
    face->AddRef(); // the mesh's own reference
    Faces.push_back(face);
    Dirty = true;
    *Face = face;
    return D3DRM_OK;
}

HRESULT TRMMeshBuilder::SetQuality(D3DRMRENDERQUALITY Quality) {
    if (HRESULT hr = Check("IDirect3DRMMeshBuilder::SetQuality"); FAILED(hr))
        return hr;
    RenderQuality = Quality;
    return D3DRM_OK;
}

const TPreparedMesh& TRMMeshBuilder::Geometry() {
    if (!Dirty)
        return Prepared;
    Prepared.Vertices = Vertices;
    Prepared.Normals.clear();
    for (TVec3 n : Normals)
        Prepared.Normals.push_back(Normalized(n));
    Prepared.Triangles.clear();
    for (const TRMFace* f : Faces) {
        const auto& c = f->Corners();
        // A face of more than three corners is a fan around its first corner.
        for (std::size_t i = 2; i < c.size(); ++i) {
            TPreparedTriangle t;
            const std::size_t k[3] = {0, i - 1, i};
            for (int j = 0; j < 3; ++j) {
                t.Vertex[j] = c[k[j]].Vertex;
                t.Normal[j] = c[k[j]].Normal;
                t.U[j] = c[k[j]].U;
                t.V[j] = c[k[j]].V;
            }
            const TVec3 v0 = Vertices[t.Vertex[0]];
            t.FaceNormal =
                Normalized(Cross(Vertices[t.Vertex[1]] - v0, Vertices[t.Vertex[2]] - v0));
            t.Color = f->Color();
            t.Texture = f->Texture();
            Prepared.Triangles.push_back(t);
        }
    }
    Dirty = false;
    return Prepared;
}
