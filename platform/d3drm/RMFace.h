#pragma once
// One face of a mesh builder: its corners (vertex and normal indices, texture coordinates),
// colour and texture.

#include "Transform.h"
#include "platform/d3drm/RMObject.h"

#include <vector>

class TRMMeshBuilder;
class TRMTexture;

class TRMFace final : public TRMObject<IDirect3DRMFace> {
public:
    struct TCorner {
        DWORD Vertex = 0;
        DWORD Normal = 0;
        float U = 0, V = 0;
    };

    explicit TRMFace(TRMMeshBuilder* Mesh);

    HRESULT AddVertexAndNormalIndexed(DWORD Vertex, DWORD Normal) override;
    HRESULT SetColorRGB(D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue) override;
    HRESULT SetTexture(IDirect3DRMTexture* Texture) override;
    HRESULT SetTextureCoordinates(DWORD Corner, D3DVALUE U, D3DVALUE V) override;

    const std::vector<TCorner>& Corners() const { return CornerList; }
    TVec3 Color() const { return Colour; }
    TRMTexture* Texture() const { return Tex; }
    // The mesh is going away while the caller still holds this face: stop telling it about
    // changes.
    void Detach() { Mesh = nullptr; }

private:
    ~TRMFace() override;
    void Changed();

    TRMMeshBuilder* Mesh; // not counted: the mesh holds the face
    std::vector<TCorner> CornerList;
    TVec3 Colour{1, 1, 1};
    TRMTexture* Tex = nullptr;
};
