#include "RMFace.h"

#include "RMMeshBuilder.h"
#include "RMTexture.h"

#include <cmath>

TRMFace::TRMFace(TRMMeshBuilder* Mesh)
    : TRMObject("IDirect3DRMFace", {IID_IDirect3DRMObject, IID_IDirect3DRMFace}), Mesh(Mesh) {}

TRMFace::~TRMFace() {
    ReleaseRef(Tex);
}

void TRMFace::Changed() {
    if (Mesh)
        Mesh->Changed();
}

HRESULT TRMFace::AddVertexAndNormalIndexed(DWORD Vertex, DWORD Normal) {
    if (HRESULT hr = Check("IDirect3DRMFace::AddVertexAndNormalIndexed"); FAILED(hr))
        return hr;
    if (!Mesh)
        return D3DRMERR_BADOBJECT;
    // Indices are checked here so that the renderer can trust them.
    if (Vertex >= Mesh->VertexCount() || Normal >= Mesh->NormalCount())
        return D3DRMERR_BADVALUE;
    CornerList.push_back({Vertex, Normal, 0, 0});
    Changed();
    return D3DRM_OK;
}

HRESULT TRMFace::SetColorRGB(D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue) {
    if (HRESULT hr = Check("IDirect3DRMFace::SetColorRGB"); FAILED(hr))
        return hr;
    if (!std::isfinite(Red) || !std::isfinite(Green) || !std::isfinite(Blue))
        return D3DRMERR_BADVALUE;
    Colour = {std::clamp(Red, 0.0f, 1.0f), std::clamp(Green, 0.0f, 1.0f),
              std::clamp(Blue, 0.0f, 1.0f)};
    Changed();
    return D3DRM_OK;
}

HRESULT TRMFace::SetTexture(IDirect3DRMTexture* Texture) {
    if (HRESULT hr = Check("IDirect3DRMFace::SetTexture"); FAILED(hr))
        return hr;
    auto* texture = dynamic_cast<TRMTexture*>(Texture);
    if (Texture && !texture)
        return D3DRMERR_BADOBJECT;
    if (texture)
        texture->AddRef();
    ReleaseRef(Tex);
    Tex = texture;
    Changed();
    return D3DRM_OK;
}

HRESULT TRMFace::SetTextureCoordinates(DWORD Corner, D3DVALUE U, D3DVALUE V) {
    if (HRESULT hr = Check("IDirect3DRMFace::SetTextureCoordinates"); FAILED(hr))
        return hr;
    if (Corner >= CornerList.size() || !std::isfinite(U) || !std::isfinite(V))
        return D3DRMERR_BADVALUE;
    CornerList[Corner].U = U;
    CornerList[Corner].V = V;
    Changed();
    return D3DRM_OK;
}
