#include "bench/platform/MesaRenderPeer.h"

#include "bench/MesaGl.h"

#include <GL/osmesa.h>

#include <cmath>
#include <stdexcept>

namespace {

using mesagl::TGl;

// Column-major 4 x 4 matrices.
struct TMatrix {
    float M[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

TMatrix Multiply(const TMatrix& A, const TMatrix& B) {
    TMatrix r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k)
                s += A.M[k * 4 + row] * B.M[c * 4 + k];
            r.M[c * 4 + row] = s;
        }
    return r;
}

// Camera space of the fleet: x right, y up, z ahead (left-handed, as the stand-in's).
TMatrix View(const TBenchFleet& F) {
    float zx = F.AtX - F.EyeX, zy = F.AtY - F.EyeY, zz = F.AtZ - F.EyeZ;
    const float zl = std::sqrt(zx * zx + zy * zy + zz * zz);
    zx /= zl, zy /= zl, zz /= zl;
    // y = up less its part along z; x = y x z.
    float yx = -zx * zy, yy = 1 - zy * zy, yz = -zz * zy;
    const float yl = std::sqrt(yx * yx + yy * yy + yz * yz);
    yx /= yl, yy /= yl, yz /= yl;
    const float xx = yy * zz - yz * zy, xy = yz * zx - yx * zz, xz = yx * zy - yy * zx;
    TMatrix v;
    const float rows[3][3] = {{xx, xy, xz}, {yx, yy, yz}, {zx, zy, zz}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            v.M[c * 4 + r] = rows[r][c];
        v.M[12 + r] = -(rows[r][0] * F.EyeX + rows[r][1] * F.EyeY + rows[r][2] * F.EyeZ);
    }
    return v;
}

TMatrix Model(const TBenchPlacement& P) {
    const float h = P.Heading * 3.14159265f / 180;
    TMatrix m;
    // Heading turns +z toward -x: the mesh's z axis becomes (-sin h, 0, cos h).
    const float c = std::cos(h), s = std::sin(h);
    m.M[0] = c, m.M[2] = s;   // x axis
    m.M[8] = -s, m.M[10] = c; // z axis
    m.M[12] = P.X, m.M[13] = P.Y, m.M[14] = P.Z;
    return m;
}

} // namespace

struct TMesaRenderPeer::TState {
    TGl* Gl = nullptr;
    OSMesaContext Context = nullptr;
    int Width = 0, Height = 0;
    std::vector<std::uint16_t> Pixels;
    const TBenchFleet* Fleet = nullptr;
    unsigned Lists = 0; // one per mesh: hull, main sail, jib, spinnaker
    unsigned Textures[2] = {};
    std::unique_ptr<TGl> GlStore;
};

TMesaRenderPeer::TMesaRenderPeer(const TBenchFleet& Fleet, int Width, int Height)
    : S(std::make_unique<TState>()) {
    S->Fleet = &Fleet;
    S->Width = Width;
    S->Height = Height;
    S->Pixels.assign(std::size_t(Width) * Height, 0);
    S->Context = OSMesaCreateContextExt(OSMESA_RGB_565, 16, 0, 0, nullptr);
    if (!S->Context ||
        !OSMesaMakeCurrent(S->Context, S->Pixels.data(), GL_UNSIGNED_SHORT_5_6_5, Width, Height))
        throw std::runtime_error("OSMesa gave no context");
    OSMesaPixelStore(OSMESA_Y_UP, 0);
    S->GlStore = std::make_unique<TGl>();
    TGl& gl = *S->GlStore;
    S->Gl = &gl;

    gl.GenTextures(2, S->Textures);
    for (int t = 0; t < 2; ++t) {
        const TBenchTexture& tex = Fleet.Textures[t];
        std::vector<std::uint8_t> rgb;
        for (std::uint32_t c : tex.Texels) {
            rgb.push_back(std::uint8_t(c >> 16));
            rgb.push_back(std::uint8_t(c >> 8));
            rgb.push_back(std::uint8_t(c));
        }
        gl.BindTexture(GL_TEXTURE_2D, S->Textures[t]);
        // Row 0 of a GL texture is t = 0, which is where our v = 0 (the top row) goes.
        gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGB, tex.Width, tex.Height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                      rgb.data());
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    gl.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    const TBenchMesh* meshes[4] = {&Fleet.Hull, &Fleet.MainSail, &Fleet.Jib, &Fleet.Spinnaker};
    S->Lists = gl.GenLists(4);
    for (int i = 0; i < 4; ++i) {
        const TBenchMesh& m = *meshes[i];
        gl.NewList(S->Lists + i, GL_COMPILE);
        if (m.Lit) {
            gl.Enable(GL_LIGHTING);
            gl.ShadeModel(GL_SMOOTH);
        } else {
            gl.Disable(GL_LIGHTING);
            gl.ShadeModel(GL_FLAT);
        }
        for (bool textured : {false, true}) {
            if (textured) {
                gl.BindTexture(GL_TEXTURE_2D, S->Textures[m.Texture]);
                gl.Enable(GL_TEXTURE_2D);
            } else {
                gl.Disable(GL_TEXTURE_2D);
            }
            gl.Begin(GL_TRIANGLES);
            for (const TBenchTriangle& t : m.Triangles) {
                if (t.Textured != textured)
                    continue;
                // Unlit textures show at full strength.
                if (textured && !m.Lit)
                    gl.Color3f(1, 1, 1);
                else
                    gl.Color3f(t.R, t.G, t.B);
                for (const TBenchCorner& c : t.Corner) {
                    gl.Normal3f(c.NX, c.NY, c.NZ);
                    gl.TexCoord2f(c.U, c.V);
                    gl.Vertex3f(c.X, c.Y, c.Z);
                }
            }
            gl.End();
        }
        gl.Disable(GL_TEXTURE_2D);
        gl.EndList();
    }

    gl.Viewport(0, 0, Width, Height);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadIdentity();
    // The stand-in's field: half the larger side at distance 1 is 0.5.
    const float halfW = 0.5f * Width / std::max(Width, Height);
    const float halfH = 0.5f * Height / std::max(Width, Height);
    gl.Frustum(-halfW, halfW, -halfH, halfH, 1, 5000);
    gl.Scalef(1, 1, -1); // our camera looks along +z
    gl.MatrixMode(GL_MODELVIEW);
    gl.Enable(GL_DEPTH_TEST);
    gl.Enable(GL_CULL_FACE);
    gl.CullFace(GL_BACK);
    gl.FrontFace(GL_CW); // faces are drawn where their corners run clockwise as seen
    gl.Enable(GL_NORMALIZE);
    gl.Enable(GL_COLOR_MATERIAL);
    gl.ColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    gl.Hint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    gl.Enable(GL_LIGHT0);
    const float ambient[4] = {Fleet.Ambient, Fleet.Ambient, Fleet.Ambient, 1};
    const float none[4] = {0, 0, 0, 1};
    const float diffuse[4] = {Fleet.Directional, Fleet.Directional, Fleet.Directional, 1};
    gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    gl.Lightfv(GL_LIGHT0, GL_AMBIENT, none);
    gl.Lightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    gl.Lightfv(GL_LIGHT0, GL_SPECULAR, none);
    gl.ClearColor(0, 0, 0, 0);
}

TMesaRenderPeer::~TMesaRenderPeer() {
    if (S->Context)
        OSMesaDestroyContext(S->Context);
}

void TMesaRenderPeer::DrawFrame() {
    TGl& gl = *S->Gl;
    const TBenchFleet& f = *S->Fleet;
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const TMatrix view = View(f);
    gl.LoadMatrixf(view.M);
    // Toward the light, in world space: it is placed with the view matrix loaded.
    const float toward[4] = {-f.LightX, -f.LightY, -f.LightZ, 0};
    gl.Lightfv(GL_LIGHT0, GL_POSITION, toward);
    for (const TBenchPlacement& p : f.Placements) {
        const int list = p.Mesh == &f.Hull       ? 0
                         : p.Mesh == &f.MainSail ? 1
                         : p.Mesh == &f.Jib      ? 2
                                                 : 3;
        gl.LoadMatrixf(Multiply(view, Model(p)).M);
        gl.CallList(S->Lists + list);
    }
    gl.Finish();
}

const std::vector<std::uint16_t>& TMesaRenderPeer::Picture() const {
    return S->Pixels;
}
