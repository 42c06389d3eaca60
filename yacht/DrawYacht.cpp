#include "yacht/DrawYacht.h"

#include "CameraView.h"
#include "HullMesh.h"
#include "SailMeshes.h"
#include "SailTrim.h"
#include "YachtMath.h"
#include "platform/com/ComRef.h"

#include <cmath>
#include <span>

namespace {

// Where empty slots and idle sails wait: 5000 above the water, relative to YachtsFrame.
constexpr D3DVALUE kParkedY = 5000;

bool Valid(std::int32_t n) {
    return n >= 1 && n <= TDrawYacht::YachtCount;
}

DWORD ChildCount(IDirect3DRMFrame* Frame) {
    TComRef<IDirect3DRMFrameArray> children;
    if (!Frame || FAILED(Frame->GetChildren(children.Out())) || !children)
        return 0;
    return children->GetSize();
}

// Child Index of Frame with a reference for the caller, or nullptr when there are fewer.
IDirect3DRMFrame* Child(IDirect3DRMFrame* Frame, DWORD Index) {
    TComRef<IDirect3DRMFrameArray> children;
    if (!Frame || FAILED(Frame->GetChildren(children.Out())) || !children ||
        children->GetSize() <= Index)
        return nullptr;
    IDirect3DRMFrame* child = nullptr;
    if (FAILED(children->GetElement(Index, &child)))
        return nullptr;
    return child;
}

DWORD VisualCount(IDirect3DRMFrame* Frame) {
    TComRef<IDirect3DRMVisualArray> visuals;
    if (!Frame || FAILED(Frame->GetVisuals(visuals.Out())) || !visuals)
        return 0;
    return visuals->GetSize();
}

void DeleteVisuals(IDirect3DRMFrame* Frame) {
    TComRef<IDirect3DRMVisualArray> visuals;
    if (!Frame || FAILED(Frame->GetVisuals(visuals.Out())) || !visuals)
        return;
    for (DWORD i = 0, n = visuals->GetSize(); i < n; ++i) {
        TComRef<IDirect3DRMVisual> visual;
        if (SUCCEEDED(visuals->GetElement(i, visual.Out())) && visual)
            Frame->DeleteVisual(visual.Get());
    }
}

// Shows element Index of Set on Frame, if the set has it.
void AddVisualFrom(IDirect3DRMFrame* Frame, IDirect3DRMVisualArray* Set, std::int32_t Index) {
    if (!Set || Index < 0 || Set->GetSize() <= static_cast<DWORD>(Index))
        return;
    TComRef<IDirect3DRMVisual> visual;
    if (SUCCEEDED(Set->GetElement(static_cast<DWORD>(Index), visual.Out())) && visual)
        Frame->AddVisual(visual.Get());
}

void AddPoints(IDirect3DRMMeshBuilder* Builder, std::span<const TMeshPoint> Vertices,
               std::span<const TMeshPoint> Normals, D3DVALUE XSign = 1) {
    for (const TMeshPoint& v : Vertices)
        Builder->AddVertex(XSign * v.X, v.Y, v.Z);
    for (const TMeshPoint& n : Normals)
        Builder->AddNormal(n.X, n.Y, n.Z);
}

// Adds one face with its corners and colour, untextured.
void AddFace(IDirect3DRMMeshBuilder* Builder, const TFaceCorners& Corners, TMeshColour Colour) {
    TComRef<IDirect3DRMFace> face;
    if (FAILED(Builder->CreateFace(face.Out())) || !face)
        return;
    for (const TMeshCorner& c : Corners)
        face->AddVertexAndNormalIndexed(static_cast<DWORD>(c.Vertex), static_cast<DWORD>(c.Normal));
    face->SetColorRGB(Colour.R, Colour.G, Colour.B);
}

} // namespace

TDrawYacht::TDrawYacht(vcl::TForm* AOwner) : TDDDD(AOwner) {
    Use3D = true;
    SetViewMode(2);
    FrameCounter = 0;
}

TDrawYacht::~TDrawYacht() {
    if (SceneReady)
        FreeScene();
}

void TDrawYacht::InitScene() {
    // The scene is built once; the frames outlive every rebuild of the device chain.
    if (SceneReady || !D3DRM())
        return;
    if (D3DRMDevice())
        D3DRMDevice()->SetQuality(D3DRMRENDER_GOURAUD);

    D3DRM()->CreateFrame(nullptr, &SceneFrame);
    D3DRM()->CreateFrame(SceneFrame, &CameraFrame);
    D3DRM()->CreateFrame(SceneFrame, &YachtsFrame);
    for (int n = 0; n < YachtCount; ++n) {
        TComRef<IDirect3DRMFrame2> yacht;
        D3DRM()->CreateFrame(YachtsFrame, yacht.Out());
        if (!yacht)
            continue;
        yacht->SetPosition(YachtsFrame, 0, kParkedY, 0);
        for (int sail = 0; sail < 3; ++sail) {
            TComRef<IDirect3DRMFrame2> frame;
            D3DRM()->CreateFrame(yacht.Get(), frame.Out());
        }
    }
    SetCamera(CameraFrame);

    // Shining toward the bow of a yacht heading 0, from 16.3 degrees above the horizon.
    TComRef<IDirect3DRMFrame2> lights;
    D3DRM()->CreateFrame(SceneFrame, lights.Out());
    if (lights) {
        lights->SetOrientation(SceneFrame, 0, -0.207107f, 0.707107f, 0, 0.707107f, 0.707107f);
        TComRef<IDirect3DRMLight> sun, ambient;
        D3DRM()->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, sun.Out());
        if (sun)
            lights->AddLight(sun.Get());
        D3DRM()->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.4f, 0.4f, 0.4f, ambient.Out());
        if (ambient)
            lights->AddLight(ambient.Get());
    }

    BuildMainSails();
    BuildJibs();
    SceneReady = true;
}

void TDrawYacht::FreeScene() {
    for (int n = 1; n <= YachtCount; ++n) {
        TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
        if (!yacht)
            continue;
        DeleteVisuals(yacht.Get());
        for (DWORD sail = 0; sail < 3; ++sail) {
            TComRef<IDirect3DRMFrame> frame(Child(yacht.Get(), sail));
            DeleteVisuals(frame.Get());
        }
    }
    ReleaseRef(YachtsFrame);
    ReleaseRef(CameraFrame);
    ReleaseRef(SceneFrame);
    ReleaseRef(MainSailSet);
    ReleaseRef(JibSet);
    SceneReady = false;
}

IDirect3DRMFrame* TDrawYacht::YachtFrame(std::int32_t n) const {
    if (!Valid(n))
        return nullptr;
    return Child(YachtsFrame, static_cast<DWORD>(n - 1));
}

bool TDrawYacht::AddYacht(std::int32_t n, const std::string& HullTextureFile) {
    if (!Valid(n))
        return true;
    RemoveYacht(n);
    TextureUnreadable = false;
    BuildHull(n, HullTextureFile);
    const bool readable = !TextureUnreadable;
    // Back down to the water, where it stays at x, z (the origin, after parking) until placed.
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    if (!yacht)
        return readable;
    D3DVECTOR p;
    yacht->GetPosition(YachtsFrame, &p);
    yacht->SetPosition(YachtsFrame, p.x, 0, p.z);
    return readable;
}

void TDrawYacht::RemoveYacht(std::int32_t n) {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    if (!yacht)
        return;
    DeleteVisuals(yacht.Get());
    yacht->SetPosition(YachtsFrame, 0, kParkedY, 0);
}

bool TDrawYacht::SetHullTexture(std::int32_t n, const std::string& FileName) {
    if (!Valid(n))
        return true;
    if (YachtPresent(n)) {
        TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
        DeleteVisuals(yacht.Get());
    }
    TextureUnreadable = false;
    BuildHull(n, FileName);
    return !TextureUnreadable;
}

bool TDrawYacht::SetSpinnakerTexture(std::int32_t n, const std::string& FileName) {
    if (!YachtPresent(n))
        return true;
    if (HasSpinnaker(n)) {
        TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
        TComRef<IDirect3DRMFrame> spinnaker(Child(yacht.Get(), 2));
        DeleteVisuals(spinnaker.Get());
    }
    TextureUnreadable = false;
    BuildSpinnaker(n, FileName);
    return !TextureUnreadable;
}

void TDrawYacht::SetYachtState(std::int32_t n, TYachtState State) {
    if (!YachtPresent(n))
        return;
    PlaceYacht(n, State, false);
    PoseSails(n, State);
}

void TDrawYacht::SetYachtPose(std::int32_t n, TYachtState Pose) {
    if (!YachtPresent(n))
        return;
    PlaceYacht(n, Pose, true);
    PoseSails(n, Pose);
}

void TDrawYacht::SetViewMode(std::uint8_t Mode) {
    if (Mode <= 2 && Mode != ViewMode)
        ViewMode = Mode;
}

void TDrawYacht::RenderFrame() {
    UpdateCamera();
    Render(SceneFrame);
    Flip();
    ++PicturesDrawn;
    FrameCounter = FrameCounter >= 1000 ? 0 : FrameCounter + 1;
}

void TDrawYacht::RenderPicture() {
    UpdateCamera();
    Render(SceneFrame);
    Flip();
    ++PicturesDrawn;
}

bool TDrawYacht::YachtPresent(std::int32_t n) const {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    return VisualCount(yacht.Get()) >= 1;
}

bool TDrawYacht::HasSpinnaker(std::int32_t n) const {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    TComRef<IDirect3DRMFrame> spinnaker(Child(yacht.Get(), 2));
    return VisualCount(spinnaker.Get()) >= 1;
}

bool TDrawYacht::GetYachtPlacement(std::int32_t n, D3DVECTOR& Position, D3DVECTOR& Direction,
                                   D3DVECTOR& Up) const {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    return yacht && SUCCEEDED(yacht->GetPosition(YachtsFrame, &Position)) &&
           SUCCEEDED(yacht->GetOrientation(YachtsFrame, &Direction, &Up));
}

void TDrawYacht::PlaceYacht(std::int32_t n, const TYachtState& State, bool Fractional) {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    if (!yacht)
        return;
    // A position that is no number would take the camera and the picture with it; the model
    // never makes one, but this is a public door.
    auto finite = [](float V) { return std::isfinite(V) ? V : 0.0f; };
    yacht->SetPosition(YachtsFrame, finite(State.X), 0, finite(State.Z));
    float dx, dz, ux, uy, uz;
    if (Fractional) {
        FractionalHeadingVector(dx, dz, State.Heading);
        FractionalUpVector(ux, uy, uz, State.Heel, State.Heading);
    } else {
        HeadingVector(dx, dz, State.Heading);
        UpVector(ux, uy, uz, State.Heel, State.Heading);
    }
    yacht->SetOrientation(YachtsFrame, dx, 0, dz, ux, uy, uz);
}

void TDrawYacht::PoseSails(std::int32_t n, const TYachtState& State) {
    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    if (!yacht)
        return;
    const DWORD sails = ChildCount(yacht.Get());
    const bool spinnakerUp = State.Spinnaker != 0 && HasSpinnaker(n);

    if (sails >= 1) {
        // The main sail turns about the mast, at the yacht frame's origin.
        TComRef<IDirect3DRMFrame> main(Child(yacht.Get(), 0));
        if (!main)
            return;
        const TSailPose pose = MainTrim(State, FrameCounter);
        main->SetPosition(yacht.Get(), 0, 0, 0);
        main->SetOrientation(yacht.Get(), pose.DX, 0, pose.DZ, 0, 1, 0);
        DeleteVisuals(main.Get());
        if (MainSailSet && MainSailSet->GetSize() >= 2)
            AddVisualFrom(main.Get(), MainSailSet, pose.Variant);
    }
    if (sails >= 2) {
        TComRef<IDirect3DRMFrame> jib(Child(yacht.Get(), 1));
        if (!jib)
            return;
        if (spinnakerUp) {
            // Struck while the spinnaker flies.
            jib->SetPosition(YachtsFrame, 0, kParkedY, 0);
        } else {
            // At the tack of the forestay, its luff leaning 15 degrees aft along the stay.
            const TSailPose pose = JibTrim(State, FrameCounter);
            jib->SetPosition(yacht.Get(), 0, 2.2f, 3);
            jib->SetOrientation(yacht.Get(), pose.DX, pose.DY, pose.DZ, 0, 9.65f, -2.58f);
            DeleteVisuals(jib.Get());
            if (JibSet && JibSet->GetSize() >= 6)
                AddVisualFrom(jib.Get(), JibSet, pose.Variant);
        }
    }
    if (sails >= 3) {
        // The spinnaker keeps its mesh either way; lowered, it is parked.
        TComRef<IDirect3DRMFrame> spinnaker(Child(yacht.Get(), 2));
        if (!spinnaker)
            return;
        if (spinnakerUp) {
            const TSailPose pose = SpinnakerTrim(State);
            spinnaker->SetPosition(yacht.Get(), 0, 0, 0);
            spinnaker->SetOrientation(yacht.Get(), pose.DX, 0, pose.DZ, 0, 1, 0);
        } else {
            spinnaker->SetPosition(YachtsFrame, 0, kParkedY, 0);
        }
    }
}

void TDrawYacht::UpdateCamera() {
    TComRef<IDirect3DRMFrame> yacht(Child(YachtsFrame, 0));
    if (!yacht || !CameraFrame)
        return;
    D3DVECTOR d, up;
    yacht->GetOrientation(SceneFrame, &d, &up);
    switch (ViewMode) {
    case 0: {
        const camera_view::TVector& o = camera_view::kOnBoardOffset;
        CameraFrame->SetPosition(yacht.Get(), o.X, o.Y, o.Z);
        CameraFrame->SetOrientation(SceneFrame, d.x, 0, d.z, 0, 1, 0);
        break;
    }
    default: {
        // The orientation comes first: the second move is along the camera's new axes.
        const camera_view::TFollowView& v =
            ViewMode == 1 ? camera_view::kAbove : camera_view::kAstern;
        CameraFrame->SetOrientation(SceneFrame, v.Direction.X, v.Direction.Y, v.Direction.Z, v.Up.X,
                                    v.Up.Y, v.Up.Z);
        CameraFrame->SetPosition(yacht.Get(), 0, 0, 0);
        CameraFrame->SetPosition(CameraFrame, v.Offset.X, v.Offset.Y, v.Offset.Z);
        break;
    }
    }
}

bool TDrawYacht::LoadPendingTexture(const std::string& TextureFile) {
    if (TextureFile.empty())
        return false;
    // A file that is missing or no bitmap leaves the mesh untextured: a joining player's
    // "SPINTEX.BMP" is passed whether or not the file exists.
    const HRESULT hr = D3DRM()->LoadTexture(TextureFile.c_str(), &PendingTexture);
    if (FAILED(hr) || !PendingTexture) {
        ReleaseRef(PendingTexture);
        // A missing file is expected; one that is there but unreadable is worth a word.
        TextureUnreadable = hr == D3DRMERR_BADFILE;
        return false;
    }
    return true;
}

void TDrawYacht::BuildHull(std::int32_t n, const std::string& TextureFile) {
    if (!D3DRM())
        return;
    TComRef<IDirect3DRMMeshBuilder2> hull;
    if (FAILED(D3DRM()->CreateMeshBuilder(hull.Out())) || !hull)
        return;
    for (const THullVertex& v : kHullVertices)
        hull->AddVertex(v.X, v.Y, v.AuthoredZ + kHullZShift);
    for (const TMeshPoint& normal : kHullNormals)
        hull->AddNormal(normal.X, normal.Y, normal.Z);

    const bool textured = LoadPendingTexture(TextureFile);
    for (const THullFace& f : kHullFaces) {
        TComRef<IDirect3DRMFace> face;
        if (FAILED(hull->CreateFace(face.Out())) || !face)
            continue;
        const bool skinned = textured && f.Textured;
        if (skinned)
            face->SetTexture(PendingTexture);
        for (DWORD corner = 0; corner < 3; ++corner) {
            const TMeshCorner& c = f.Corners[corner];
            face->AddVertexAndNormalIndexed(static_cast<DWORD>(c.Vertex),
                                            static_cast<DWORD>(c.Normal));
            if (skinned) {
                const TTexCoord uv = HullTexCoord(c.Vertex);
                face->SetTextureCoordinates(corner, uv.U, uv.V);
            }
        }
        face->SetColorRGB(f.Colour.R, f.Colour.G, f.Colour.B);
    }
    // The hull is the one lit object; the sails are drawn unlit.
    hull->SetQuality(D3DRMRENDER_GOURAUD);
    if (TComRef<IDirect3DRMFrame> yacht(YachtFrame(n)); yacht)
        yacht->AddVisual(hull.Get());
    // The faces keep their own references to the texture.
    ReleaseRef(PendingTexture);
}

namespace {

// Builds one mesh per call of Build on a parked holder frame and returns the holder's visuals
// in the order built; the holder is left empty under Scene.
template <class F>
IDirect3DRMVisualArray* BuildSailSet(IDirect3DRM2* RM, IDirect3DRMFrame* Scene, int Count,
                                     F&& Build) {
    TComRef<IDirect3DRMFrame2> holder;
    if (FAILED(RM->CreateFrame(Scene, holder.Out())) || !holder)
        return nullptr;
    holder->SetPosition(Scene, 0, kParkedY, 0);
    for (int k = 0; k < Count; ++k) {
        TComRef<IDirect3DRMMeshBuilder2> sail;
        if (FAILED(RM->CreateMeshBuilder(sail.Out())) || !sail)
            continue;
        Build(sail.Get(), k);
        sail->SetQuality(D3DRMRENDER_UNLITFLAT);
        holder->AddVisual(sail.Get());
    }
    IDirect3DRMVisualArray* set = nullptr;
    holder->GetVisuals(&set);
    DeleteVisuals(holder.Get());
    return set;
}

} // namespace

void TDrawYacht::BuildMainSails() {
    MainSailSet = BuildSailSet(D3DRM(), SceneFrame, 2, [](IDirect3DRMMeshBuilder* Sail, int k) {
        AddPoints(Sail, kMainSailVertices, kMainSailNormals, k == 0 ? 1.0f : -1.0f);
        for (const TFaceCorners& f : kMainSailFaces)
            AddFace(Sail, f, kMainSailColour);
    });
}

void TDrawYacht::BuildJibs() {
    JibSet = BuildSailSet(D3DRM(), SceneFrame, 6, [](IDirect3DRMMeshBuilder* Sail, int k) {
        AddPoints(Sail, kJibVertices[k % 3], kJibNormals, k < 3 ? 1.0f : -1.0f);
        for (const TFaceCorners& f : kJibFaces)
            AddFace(Sail, f, kJibColour);
    });
}

void TDrawYacht::BuildSpinnaker(std::int32_t n, const std::string& TextureFile) {
    if (!D3DRM())
        return;
    TComRef<IDirect3DRMMeshBuilder2> sail;
    if (FAILED(D3DRM()->CreateMeshBuilder(sail.Out())) || !sail)
        return;
    for (const TSpinnakerVertex& v : kSpinnakerVertices)
        sail->AddVertex(v.Position.X, v.Position.Y, v.Position.Z);
    for (const TMeshPoint& normal : kSpinnakerNormals)
        sail->AddNormal(normal.X, normal.Y, normal.Z);

    const bool textured = LoadPendingTexture(TextureFile);
    for (const TFaceCorners& f : kSpinnakerFaces) {
        TComRef<IDirect3DRMFace> face;
        if (FAILED(sail->CreateFace(face.Out())) || !face)
            continue;
        if (textured)
            face->SetTexture(PendingTexture);
        for (DWORD corner = 0; corner < 3; ++corner) {
            const TMeshCorner& c = f[corner];
            face->AddVertexAndNormalIndexed(static_cast<DWORD>(c.Vertex),
                                            static_cast<DWORD>(c.Normal));
            if (textured) {
                const TTexCoord uv = kSpinnakerVertices[static_cast<std::size_t>(c.Vertex)].UV;
                face->SetTextureCoordinates(corner, uv.U, uv.V);
            }
        }
        face->SetColorRGB(kSpinnakerColour.R, kSpinnakerColour.G, kSpinnakerColour.B);
    }
    ReleaseRef(PendingTexture);
    sail->SetQuality(D3DRMRENDER_UNLITFLAT);

    TComRef<IDirect3DRMFrame> yacht(YachtFrame(n));
    if (TComRef<IDirect3DRMFrame> frame(Child(yacht.Get(), 2)); frame)
        frame->AddVisual(sail.Get());
}
