#pragma once
// The OpenGL entry points the Mesa peers draw with, taken from OSMesa itself: the programs also
// link the system's dispatching OpenGL (through the window framework), whose gl* functions
// would draw into no context.

#include <GL/osmesa.h>

#include <stdexcept>
#include <string>

namespace mesagl {

template <class F> F Resolve(const char* Name) {
    const OSMESAproc proc = OSMesaGetProcAddress(Name);
    if (!proc)
        throw std::runtime_error(std::string("OSMesa lacks ") + Name);
    return reinterpret_cast<F>(proc);
}

#define MAREVO_GL(name) decltype(&::gl##name) name = Resolve<decltype(&::gl##name)>("gl" #name)
// Made once an OSMesa context is current.
struct TGl {
    MAREVO_GL(Begin);
    MAREVO_GL(BindTexture);
    MAREVO_GL(CallList);
    MAREVO_GL(Clear);
    MAREVO_GL(ClearColor);
    MAREVO_GL(Color3f);
    MAREVO_GL(ColorMaterial);
    MAREVO_GL(CullFace);
    MAREVO_GL(Disable);
    MAREVO_GL(Enable);
    MAREVO_GL(End);
    MAREVO_GL(EndList);
    MAREVO_GL(Finish);
    MAREVO_GL(FrontFace);
    MAREVO_GL(Frustum);
    MAREVO_GL(GenLists);
    MAREVO_GL(GenTextures);
    MAREVO_GL(Hint);
    MAREVO_GL(LightModelfv);
    MAREVO_GL(Lightfv);
    MAREVO_GL(LoadIdentity);
    MAREVO_GL(LoadMatrixf);
    MAREVO_GL(MatrixMode);
    MAREVO_GL(MultMatrixf);
    MAREVO_GL(NewList);
    MAREVO_GL(Normal3f);
    MAREVO_GL(PixelStorei);
    MAREVO_GL(PopMatrix);
    MAREVO_GL(PushMatrix);
    MAREVO_GL(Scalef);
    MAREVO_GL(ShadeModel);
    MAREVO_GL(TexCoord2f);
    MAREVO_GL(TexEnvi);
    MAREVO_GL(TexImage2D);
    MAREVO_GL(TexParameteri);
    MAREVO_GL(Vertex3f);
    MAREVO_GL(Viewport);
};
#undef MAREVO_GL

} // namespace mesagl
