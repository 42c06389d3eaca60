#pragma once
// A mesh builder: vertices, normals and faces as the caller adds them, and the triangles
// they make, prepared once per change for the renderer.

#include "Transform.h"
#include "platform/d3drm/RMObject.h"

#include <cstdint>
#include <vector>

class TRMFace;
class TRMTexture;

// One triangle ready to draw: indices into the mesh's vertices and unit normals.
struct TPreparedTriangle {
    std::uint32_t Vertex[3];
    std::uint32_t Normal[3];
    float U[3], V[3];
    TVec3 Color;
    TVec3 FaceNormal;          // unit; for lit flat shading
    const TRMTexture* Texture; // held by the face the triangle came from
};

struct TPreparedMesh {
    std::vector<TVec3> Vertices;
    std::vector<TVec3> Normals; // unit length
    std::vector<TPreparedTriangle> Triangles;
};

class TRMMeshBuilder final : public TRMObject<IDirect3DRMMeshBuilder2> {
public:
    TRMMeshBuilder();

    int AddVertex(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) override;
    int AddNormal(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) override;
    HRESULT CreateFace(IDirect3DRMFace** Face) override;
    HRESULT SetQuality(D3DRMRENDERQUALITY Quality) override;

    D3DRMRENDERQUALITY Quality() const { return RenderQuality; }
    DWORD VertexCount() const { return static_cast<DWORD>(Vertices.size()); }
    DWORD NormalCount() const { return static_cast<DWORD>(Normals.size()); }
    // The triangles as they stand now; rebuilt only after a change.
    const TPreparedMesh& Geometry();
    void Changed() { Dirty = true; }

private:
    ~TRMMeshBuilder() override;

    std::vector<TVec3> Vertices;
    std::vector<TVec3> Normals;
    std::vector<TRMFace*> Faces;
    D3DRMRENDERQUALITY RenderQuality = D3DRMRENDER_GOURAUD;
    TPreparedMesh Prepared;
    bool Dirty = true;
};
