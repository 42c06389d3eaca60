#pragma once
// The retained-mode objects: frames, mesh builders and their faces, lights, textures, the
// rendering device and the viewport, and the arrays that hand out children and visuals.
//
// Every object is reference counted; Release returns the count that remains, exactly. A frame
// holds references to its children, visuals and lights, so releasing the caller's reference to
// a child frame does not destroy it; a child holds no reference to its parent. A face holds its
// texture; a viewport holds its device and camera.

#include "platform/d3drm/D3DRMDef.h"

struct IDirect3DRMFrame;
struct IDirect3DRMFrameArray;
struct IDirect3DRMVisualArray;
struct IDirect3DRMTexture;

inline constexpr IID IID_IDirect3DRMObject{
    0xdbc0aedc, 0x22a9, 0x49bb, {0x89, 0xf3, 0x64, 0x5d, 0x64, 0x60, 0x93, 0x2d}};
inline constexpr IID IID_IDirect3DRMVisual{
    0x2eb7c5cf, 0x902a, 0x4559, {0xbf, 0x74, 0x17, 0x0f, 0xa7, 0x4e, 0xfb, 0x02}};
inline constexpr IID IID_IDirect3DRMFrame{
    0x95a0e0e5, 0x5249, 0x4127, {0x9e, 0x61, 0xae, 0xb5, 0xd5, 0x26, 0x5d, 0xd6}};
inline constexpr IID IID_IDirect3DRMFrame2{
    0xad8a88f8, 0x5db1, 0x493b, {0x9a, 0x52, 0x47, 0x7a, 0x56, 0xe9, 0xb4, 0x52}};
inline constexpr IID IID_IDirect3DRMMeshBuilder{
    0x8f684182, 0xfdbc, 0x4f40, {0xbd, 0x4d, 0xb4, 0x86, 0xc5, 0x32, 0x6b, 0x93}};
inline constexpr IID IID_IDirect3DRMMeshBuilder2{
    0x05916607, 0xae47, 0x464f, {0xbc, 0x34, 0x6e, 0x43, 0x2d, 0xec, 0xae, 0x94}};
inline constexpr IID IID_IDirect3DRMFace{
    0x3c203e18, 0xa881, 0x4ede, {0xa3, 0xca, 0x79, 0xe7, 0xda, 0xae, 0xdc, 0xdb}};
inline constexpr IID IID_IDirect3DRMLight{
    0x25662cd9, 0x4e28, 0x4831, {0xbd, 0xfc, 0x51, 0x85, 0x9b, 0x36, 0xfb, 0xf9}};
inline constexpr IID IID_IDirect3DRMTexture{
    0x8b92e719, 0x5b7d, 0x437e, {0xa9, 0x23, 0x8d, 0xc4, 0x74, 0x57, 0xf7, 0x84}};
inline constexpr IID IID_IDirect3DRMTexture2{
    0x9b7eda46, 0xea6f, 0x42bb, {0xab, 0xb8, 0xfe, 0x69, 0x4b, 0x1d, 0x37, 0x54}};
inline constexpr IID IID_IDirect3DRMDevice{
    0xa7fc25a8, 0x54e1, 0x4df0, {0xae, 0x30, 0x87, 0x7a, 0xef, 0x9d, 0x02, 0x89}};
inline constexpr IID IID_IDirect3DRMDevice2{
    0x28f7dc5e, 0x47ce, 0x4ca0, {0xb3, 0xf1, 0x5c, 0x06, 0xd1, 0x8f, 0x6c, 0x91}};
inline constexpr IID IID_IDirect3DRMViewport{
    0x3941e94a, 0x0965, 0x4af8, {0x86, 0xe9, 0x6e, 0x95, 0x7e, 0xf0, 0x50, 0xeb}};
inline constexpr IID IID_IDirect3DRMFrameArray{
    0x5c80e2b9, 0x1ded, 0x48e1, {0x97, 0x38, 0x07, 0xc9, 0xde, 0x22, 0xd4, 0x34}};
inline constexpr IID IID_IDirect3DRMVisualArray{
    0x0b49d0ef, 0xb963, 0x484f, {0xa0, 0xfd, 0xfc, 0x17, 0xf1, 0x0c, 0x0e, 0xe6}};

struct IDirect3DRMObject : IUnknown {};

// Anything a frame can carry and draw: mesh builders (and, as on the platform, frames and
// textures, which this renderer does not draw as visuals).
struct IDirect3DRMVisual : IDirect3DRMObject {};

// An ambient light adds its colour everywhere; a directional light shines along the z axis of
// the frame it is added to.
struct IDirect3DRMLight : IDirect3DRMObject {};

struct IDirect3DRMTexture : IDirect3DRMVisual {};
struct IDirect3DRMTexture2 : IDirect3DRMTexture {};

struct IDirect3DRMFace : IDirect3DRMObject {
    // Adds a corner: indices into the mesh builder's vertices and normals, numbered from 0.
    // Corners are kept in the order added; three make the triangle that is drawn (a face
    // with more corners is drawn as a fan from corner 0).
    virtual HRESULT AddVertexAndNormalIndexed(DWORD Vertex, DWORD Normal) = 0;
    virtual HRESULT SetColorRGB(D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue) = 0;
    // The face holds a reference to Texture; nullptr removes it.
    virtual HRESULT SetTexture(IDirect3DRMTexture* Texture) = 0;
    // (U, V) of corner Corner, counted from 0 in the order added; v = 0 is the picture's top.
    virtual HRESULT SetTextureCoordinates(DWORD Corner, D3DVALUE U, D3DVALUE V) = 0;
};

struct IDirect3DRMMeshBuilder : IDirect3DRMVisual {
    // Return the new vertex's (normal's) index, or -1 when the call failed.
    virtual int AddVertex(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) = 0;
    virtual int AddNormal(D3DVALUE X, D3DVALUE Y, D3DVALUE Z) = 0;
    // A new, empty face of this mesh, white and untextured. Faces are drawn one-sided: only
    // from the side that (v1 - v0) x (v2 - v0) points to, where the corners look clockwise.
    virtual HRESULT CreateFace(IDirect3DRMFace** Face) = 0;
    // Default D3DRMRENDER_GOURAUD.
    virtual HRESULT SetQuality(D3DRMRENDERQUALITY Quality) = 0;
};
struct IDirect3DRMMeshBuilder2 : IDirect3DRMMeshBuilder {};

struct IDirect3DRMFrameArray : IUnknown {
    virtual DWORD GetSize() = 0;
    // The element at Index (from 0), with a reference the caller releases.
    virtual HRESULT GetElement(DWORD Index, IDirect3DRMFrame** Frame) = 0;
};

struct IDirect3DRMVisualArray : IUnknown {
    virtual DWORD GetSize() = 0;
    virtual HRESULT GetElement(DWORD Index, IDirect3DRMVisual** Visual) = 0;
};

// A frame places its visuals and children: a position and an orientation relative to its
// parent. Every call that takes a Reference reads or writes in that frame's coordinates;
// nullptr means the world, the space in which the root frames are placed.
struct IDirect3DRMFrame : IDirect3DRMVisual {
    virtual HRESULT AddLight(IDirect3DRMLight* Light) = 0;
    virtual HRESULT AddVisual(IDirect3DRMVisual* Visual) = 0;
    // D3DRMERR_NOTFOUND when Visual is not on the frame; removes the first occurrence.
    virtual HRESULT DeleteVisual(IDirect3DRMVisual* Visual) = 0;
    // A new array (a snapshot, in the order the children were created) for the caller to release.
    virtual HRESULT GetChildren(IDirect3DRMFrameArray** Children) = 0;
    virtual HRESULT GetVisuals(IDirect3DRMVisualArray** Visuals) = 0;
    virtual HRESULT SetPosition(IDirect3DRMFrame* Reference, D3DVALUE X, D3DVALUE Y,
                                D3DVALUE Z) = 0;
    virtual HRESULT GetPosition(IDirect3DRMFrame* Reference, D3DVECTOR* Position) = 0;
    // Direction becomes the frame's z axis; Up, projected onto the plane perpendicular to it,
    // its y axis; x = y x z. The position is kept. D3DRMERR_BADVALUE when Direction is zero
    // or parallel to Up.
    virtual HRESULT SetOrientation(IDirect3DRMFrame* Reference, D3DVALUE DirX, D3DVALUE DirY,
                                   D3DVALUE DirZ, D3DVALUE UpX, D3DVALUE UpY, D3DVALUE UpZ) = 0;
    // The frame's z and y axes, unit length, in Reference's coordinates.
    virtual HRESULT GetOrientation(IDirect3DRMFrame* Reference, D3DVECTOR* Direction,
                                   D3DVECTOR* Up) = 0;
};
struct IDirect3DRMFrame2 : IDirect3DRMFrame {};

struct IDirect3DRMDevice : IDirect3DRMObject {
    // Default D3DRMRENDER_FLAT.
    virtual HRESULT SetQuality(D3DRMRENDERQUALITY Quality) = 0;
    virtual HRESULT SetBufferCount(DWORD Count) = 0;
    // Completes the rendered picture in the back buffer.
    virtual HRESULT Update() = 0;
};
struct IDirect3DRMDevice2 : IDirect3DRMDevice {};

// A perspective camera looking along its frame's +z with y up: the front plane at 1, a field
// of 0.5 (half the viewport's larger side at distance 1) and the back plane at 100 until
// SetBack moves it.
struct IDirect3DRMViewport : IDirect3DRMObject {
    virtual HRESULT SetBack(D3DVALUE Back) = 0;
    virtual HRESULT SetCamera(IDirect3DRMFrame* Camera) = 0;
    // Black, and the farthest depth, over the viewport's rectangle.
    virtual HRESULT Clear() = 0;
    // Draws Scene and all its descendants, lit by the lights anywhere in that tree.
    virtual HRESULT Render(IDirect3DRMFrame* Scene) = 0;
};

using LPDIRECT3DRMOBJECT = IDirect3DRMObject*;
using LPDIRECT3DRMVISUAL = IDirect3DRMVisual*;
using LPDIRECT3DRMLIGHT = IDirect3DRMLight*;
using LPDIRECT3DRMTEXTURE = IDirect3DRMTexture*;
using LPDIRECT3DRMTEXTURE2 = IDirect3DRMTexture2*;
using LPDIRECT3DRMFACE = IDirect3DRMFace*;
using LPDIRECT3DRMMESHBUILDER = IDirect3DRMMeshBuilder*;
using LPDIRECT3DRMMESHBUILDER2 = IDirect3DRMMeshBuilder2*;
using LPDIRECT3DRMFRAMEARRAY = IDirect3DRMFrameArray*;
using LPDIRECT3DRMVISUALARRAY = IDirect3DRMVisualArray*;
using LPDIRECT3DRMFRAME = IDirect3DRMFrame*;
using LPDIRECT3DRMFRAME2 = IDirect3DRMFrame2*;
using LPDIRECT3DRMDEVICE = IDirect3DRMDevice*;
using LPDIRECT3DRMDEVICE2 = IDirect3DRMDevice2*;
using LPDIRECT3DRMVIEWPORT = IDirect3DRMViewport*;
