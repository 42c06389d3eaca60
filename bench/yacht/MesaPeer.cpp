#include "bench/yacht/MesaPeer.h"

#include "app/textures/SampleTextures.h"
#include "bench/MesaGl.h"
#include "yacht/CameraView.h"
#include "yacht/HullMesh.h"
#include "yacht/SailMeshes.h"
#include "yacht/SailTrim.h"
#include "yacht/YachtMath.h"

#include <GL/osmesa.h>

#include <cmath>
#include <stdexcept>

namespace {

using mesagl::TGl;

struct TV {
    float X = 0, Y = 0, Z = 0;
};
TV operator+(TV A, TV B) {
    return {A.X + B.X, A.Y + B.Y, A.Z + B.Z};
}
TV operator*(TV A, float K) {
    return {A.X * K, A.Y * K, A.Z * K};
}
float Dot(TV A, TV B) {
    return A.X * B.X + A.Y * B.Y + A.Z * B.Z;
}
TV Cross(TV A, TV B) {
    return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}
TV Unit(TV A) {
    return A * (1.0f / std::sqrt(Dot(A, A)));
}

// A rigid placement as the retained-mode frames make it: z the direction, y the up vector
// made perpendicular to it, x = y cross z.
struct TPlace {
    TV X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1}, O;

    static TPlace Oriented(TV Direction, TV Up, TV Origin) {
        TPlace p;
        p.Z = Unit(Direction);
        p.Y = Unit(Up + p.Z * -Dot(Up, p.Z));
        p.X = Cross(p.Y, p.Z);
        p.O = Origin;
        return p;
    }
    TV Point(TV P) const { return O + X * P.X + Y * P.Y + Z * P.Z; }
    TV Vector(TV P) const { return X * P.X + Y * P.Y + Z * P.Z; }
    // Inner's placement inside this one, as seen from outside.
    TPlace Then(const TPlace& Inner) const {
        return {Vector(Inner.X), Vector(Inner.Y), Vector(Inner.Z), Point(Inner.O)};
    }
    void Matrix(float M[16]) const {
        const TV c[4] = {X, Y, Z, O};
        for (int i = 0; i < 4; ++i) {
            M[4 * i] = c[i].X;
            M[4 * i + 1] = c[i].Y;
            M[4 * i + 2] = c[i].Z;
            M[4 * i + 3] = i == 3 ? 1 : 0;
        }
    }
    // World to this placement's space (rigid: the transpose).
    void InverseMatrix(float M[16]) const {
        const TV axes[3] = {X, Y, Z};
        for (int r = 0; r < 3; ++r) {
            M[r] = axes[r].X;
            M[4 + r] = axes[r].Y;
            M[8 + r] = axes[r].Z;
            M[12 + r] = -Dot(axes[r], O);
            M[3 + 4 * r] = 0;
        }
        M[15] = 1;
    }
};

GLuint Upload(const TGl& G, const TRgbImage& Image) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < Image.Height(); ++y)
        for (int x = 0; x < Image.Width(); ++x) {
            const TRgb p = Image.At(x, y);
            rgb.insert(rgb.end(), {p.R, p.G, p.B});
        }
    GLuint name = 0;
    G.GenTextures(1, &name);
    G.BindTexture(GL_TEXTURE_2D, name);
    G.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    G.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB, Image.Width(), Image.Height(), 0, GL_RGB,
                 GL_UNSIGNED_BYTE, rgb.data());
    G.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    G.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    G.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return name;
}

void Normal(const TGl& G, TMeshPoint N) {
    const TV n = Unit({N.X, N.Y, N.Z});
    G.Normal3f(n.X, n.Y, n.Z);
}

} // namespace

struct TMesaPeer::TState {
    int Width, Height;
    std::vector<std::uint16_t> Pixels;
    OSMesaContext Context = nullptr;
    GLuint HullTexture = 0, SpinnakerTexture = 0;
    GLuint Hull = 0, Spinnaker = 0, Mains = 0, Jibs = 0; // display lists
    std::unique_ptr<TGl> Gl;
};

TMesaPeer::TMesaPeer(int Width, int Height) : S(std::make_unique<TState>()) {
    S->Width = Width;
    S->Height = Height;
    S->Pixels.resize(std::size_t(Width) * Height);
    S->Context = OSMesaCreateContextExt(OSMESA_RGB_565, 16, 0, 0, nullptr);
    if (!S->Context ||
        !OSMesaMakeCurrent(S->Context, S->Pixels.data(), GL_UNSIGNED_SHORT_5_6_5, Width, Height))
        throw std::runtime_error("no OSMesa context");
    S->Gl = std::make_unique<TGl>();
    const TGl& G = *S->Gl;

    S->HullTexture = Upload(G, SampleHullTexture());
    S->SpinnakerTexture = Upload(G, SampleSpinnakerTexture());

    // Hull: lit and smooth; the topsides textured.
    S->Hull = G.GenLists(1);
    G.NewList(S->Hull, GL_COMPILE);
    for (const bool textured : {false, true}) {
        if (textured) {
            G.Enable(GL_TEXTURE_2D);
            G.BindTexture(GL_TEXTURE_2D, S->HullTexture);
        }
        G.Begin(GL_TRIANGLES);
        for (const THullFace& f : kHullFaces) {
            if (f.Textured != textured)
                continue;
            G.Color3f(f.Colour.R, f.Colour.G, f.Colour.B);
            for (const TMeshCorner& c : f.Corners) {
                Normal(G, kHullNormals[c.Normal]);
                if (textured)
                    G.TexCoord2f(HullTexCoord(c.Vertex).U, HullTexCoord(c.Vertex).V);
                const THullVertex& v = kHullVertices[c.Vertex];
                G.Vertex3f(v.X, v.Y, v.AuthoredZ + kHullZShift);
            }
        }
        G.End();
        if (textured)
            G.Disable(GL_TEXTURE_2D);
    }
    G.EndList();

    // Sails: unlit and flat.
    auto sail = [&G](std::span<const TMeshPoint> Vertices, std::span<const TFaceCorners> Faces,
                     TMeshColour Colour, float Side) {
        G.Color3f(Colour.R, Colour.G, Colour.B);
        G.Begin(GL_TRIANGLES);
        for (const TFaceCorners& f : Faces)
            for (const TMeshCorner& c : f) {
                const TMeshPoint& v = Vertices[c.Vertex];
                G.Vertex3f(Side * v.X, v.Y, v.Z);
            }
        G.End();
    };
    S->Mains = G.GenLists(2);
    for (int m = 0; m < 2; ++m) {
        G.NewList(S->Mains + m, GL_COMPILE);
        sail(kMainSailVertices, kMainSailFaces, kMainSailColour, m == 0 ? 1 : -1);
        G.EndList();
    }
    S->Jibs = G.GenLists(6);
    for (int j = 0; j < 6; ++j) {
        G.NewList(S->Jibs + j, GL_COMPILE);
        sail(kJibVertices[j % 3], kJibFaces, kJibColour, j < 3 ? 1 : -1);
        G.EndList();
    }
    S->Spinnaker = G.GenLists(1);
    G.NewList(S->Spinnaker, GL_COMPILE);
    G.Enable(GL_TEXTURE_2D);
    G.BindTexture(GL_TEXTURE_2D, S->SpinnakerTexture);
    G.Color3f(1, 1, 1);
    G.Begin(GL_TRIANGLES);
    for (const TFaceCorners& f : kSpinnakerFaces)
        for (const TMeshCorner& c : f) {
            const TSpinnakerVertex& v = kSpinnakerVertices[c.Vertex];
            G.TexCoord2f(v.UV.U, v.UV.V);
            G.Vertex3f(v.Position.X, v.Position.Y, v.Position.Z);
        }
    G.End();
    G.Disable(GL_TEXTURE_2D);
    G.EndList();

    // The viewport's camera: front plane 1, back plane 5000, half the wider side 0.5 at 1.
    G.Viewport(0, 0, Width, Height);
    G.MatrixMode(GL_PROJECTION);
    G.LoadIdentity();
    const double half = 0.5, halfY = 0.5 * Height / Width;
    G.Frustum(-half, half, -halfY, halfY, 1, 5000);
    G.MatrixMode(GL_MODELVIEW);
    G.Enable(GL_DEPTH_TEST);
    G.Enable(GL_CULL_FACE);
    G.FrontFace(GL_CW); // left-handed data, seen clockwise from the front
    G.Enable(GL_COLOR_MATERIAL);
    G.ColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    const GLfloat ambient[] = {0.4f, 0.4f, 0.4f, 1}, sun[] = {0.9f, 0.9f, 0.9f, 1},
                  none[] = {0, 0, 0, 1};
    G.LightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    G.Lightfv(GL_LIGHT0, GL_DIFFUSE, sun);
    G.Lightfv(GL_LIGHT0, GL_AMBIENT, none);
    G.Lightfv(GL_LIGHT0, GL_SPECULAR, none);
    G.Enable(GL_LIGHT0);
    G.ClearColor(0, 0, 0, 1);
}

TMesaPeer::~TMesaPeer() {
    if (S->Context)
        OSMesaDestroyContext(S->Context);
}

void TMesaPeer::DrawFrame(std::span<const TYachtState> States, std::int32_t FrameCounter,
                          std::uint8_t ViewMode) {
    const TGl& G = *S->Gl;
    G.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (States.empty())
        return;

    std::vector<TPlace> yachts;
    for (const TYachtState& s : States) {
        float dx, dz, ux, uy, uz;
        HeadingVector(dx, dz, s.Heading);
        UpVector(ux, uy, uz, s.Heel, s.Heading);
        yachts.push_back(TPlace::Oriented({dx, 0, dz}, {ux, uy, uz}, {s.X, 0, s.Z}));
    }
    const TPlace& first = yachts[0];
    TPlace camera;
    auto tv = [](const camera_view::TVector& V) { return TV{V.X, V.Y, V.Z}; };
    if (ViewMode == 0) {
        camera = TPlace::Oriented({first.Z.X, 0, first.Z.Z}, {0, 1, 0},
                                  first.Point(tv(camera_view::kOnBoardOffset)));
    } else {
        const camera_view::TFollowView& v =
            ViewMode == 1 ? camera_view::kAbove : camera_view::kAstern;
        camera = TPlace::Oriented(tv(v.Direction), tv(v.Up), first.O);
        camera.O = camera.Point(tv(v.Offset));
    }
    // Eye space of OpenGL looks down -z: flip the left-handed camera space's z.
    float view[16];
    camera.InverseMatrix(view);
    G.LoadIdentity();
    G.Scalef(1, 1, -1);
    G.MultMatrixf(view);
    const GLfloat toLight[] = {0, 0.207107f, -0.707107f, 0};
    G.Lightfv(GL_LIGHT0, GL_POSITION, toLight);

    auto draw = [&](const TPlace& Place, GLuint List) {
        float m[16];
        Place.Matrix(m);
        G.PushMatrix();
        G.MultMatrixf(m);
        G.CallList(List);
        G.PopMatrix();
    };
    for (std::size_t i = 0; i < States.size(); ++i) {
        const TYachtState& s = States[i];
        const TPlace& yacht = yachts[i];
        G.Enable(GL_LIGHTING);
        G.ShadeModel(GL_SMOOTH);
        draw(yacht, S->Hull);
        G.Disable(GL_LIGHTING);
        G.ShadeModel(GL_FLAT);
        const TSailPose main = MainTrim(s, FrameCounter);
        draw(yacht.Then(TPlace::Oriented({main.DX, 0, main.DZ}, {0, 1, 0}, {})),
             S->Mains + main.Variant);
        if (s.Spinnaker) {
            const TSailPose spinnaker = SpinnakerTrim(s);
            draw(yacht.Then(TPlace::Oriented({spinnaker.DX, 0, spinnaker.DZ}, {0, 1, 0}, {})),
                 S->Spinnaker);
        } else {
            const TSailPose jib = JibTrim(s, FrameCounter);
            draw(yacht.Then(
                     TPlace::Oriented({jib.DX, jib.DY, jib.DZ}, {0, 9.65f, -2.58f}, {0, 2.2f, 3})),
                 S->Jibs + jib.Variant);
        }
    }
    G.Finish();
}

std::vector<std::uint16_t> TMesaPeer::Picture() const {
    // OpenGL's rows run bottom up.
    std::vector<std::uint16_t> picture;
    for (int y = S->Height - 1; y >= 0; --y)
        picture.insert(picture.end(), S->Pixels.begin() + std::ptrdiff_t(y) * S->Width,
                       S->Pixels.begin() + std::ptrdiff_t(y + 1) * S->Width);
    return picture;
}
