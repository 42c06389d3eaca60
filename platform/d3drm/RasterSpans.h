#pragma once
// The rasterizer's inner loops, separated from triangle setup: a triangle arrives as edges
// and attribute planes already cut to the clip rectangle's rows, and is filled row by row.

#include "Rasterizer.h"

#include <cstdint>

// x of the edge at height y = X0 + (y - Y0) * Slope. Kept in double and always evaluated from
// the edge's upper end, so that two triangles sharing an edge find the very same x.
struct TRasterEdge {
    double X0 = 0, Y0 = 0, Slope = 0;
};

// An attribute's value at the centre of pixel (x, y) = At00 + Dx * x + Dy * y.
struct TRasterPlane {
    float At00 = 0, Dx = 0, Dy = 0;
};

struct TRasterTriangle {
    int YStart = 0, YMid = 0, YEnd = 0; // rows [YStart, YMid) lie between Long and Upper,
    TRasterEdge Long, Upper, Lower;     // rows [YMid, YEnd) between Long and Lower
    bool LongOnLeft = false;
    int XMin = 0, XMax = 0; // the clip rectangle's columns, right exclusive
    TRasterPlane Depth;     // in depth-buffer units
    TRasterPlane Q, UQ, VQ; // for perspective-correct texture coordinates
    TRasterPlane R, G, B;   // 0..255
    TRasterTexture Texture;
};

// Fills T into Target with the variant of the inner loop that fits the target's formats and
// the triangle's features.
void FillTriangle(const TRenderTarget& Target, const TRasterizer::TFormat& Format,
                  const TRasterTriangle& T, bool Textured, bool Gouraud);
