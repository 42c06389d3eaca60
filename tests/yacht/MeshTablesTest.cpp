#include "yacht/HullMesh.h"
#include "yacht/SailMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

namespace {

TMeshPoint Minus(TMeshPoint A, TMeshPoint B) {
    return {A.X - B.X, A.Y - B.Y, A.Z - B.Z};
}
TMeshPoint Cross(TMeshPoint A, TMeshPoint B) {
    return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}
float Dot(TMeshPoint A, TMeshPoint B) {
    return A.X * B.X + A.Y * B.Y + A.Z * B.Z;
}

// The side a face is seen from: (v1 - v0) x (v2 - v0).
TMeshPoint Facing(std::span<const TMeshPoint> Vertices, const TFaceCorners& Face) {
    const TMeshPoint v0 = Vertices[Face[0].Vertex];
    return Cross(Minus(Vertices[Face[1].Vertex], v0), Minus(Vertices[Face[2].Vertex], v0));
}

std::vector<TMeshPoint> HullPoints() {
    std::vector<TMeshPoint> points;
    for (const THullVertex& v : kHullVertices)
        points.push_back({v.X, v.Y, v.AuthoredZ + kHullZShift});
    return points;
}

std::vector<int> Sorted(const TFaceCorners& Face) {
    std::vector<int> v{Face[0].Vertex, Face[1].Vertex, Face[2].Vertex};
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(HullMesh, PortVerticesMirrorStarboard) {
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kHullVertices[i + 10].X, -kHullVertices[i].X);
        EXPECT_EQ(kHullVertices[i + 10].Y, kHullVertices[i].Y);
        EXPECT_EQ(kHullVertices[i + 10].AuthoredZ, kHullVertices[i].AuthoredZ);
    }
    // 8 long, 3.8 wide, keel 1 below the water, cabin top 2.7 above; mast 4.9 from the stern.
    const auto points = HullPoints();
    auto by = [&](auto Member) {
        auto [lo, hi] = std::minmax_element(points.begin(), points.end(),
                                            [&](auto A, auto B) { return A.*Member < B.*Member; });
        return std::pair{(*lo).*Member, (*hi).*Member};
    };
    EXPECT_FLOAT_EQ(by(&TMeshPoint::Z).first, -4.9f);
    EXPECT_FLOAT_EQ(by(&TMeshPoint::Z).second, 3.1f);
    EXPECT_FLOAT_EQ(by(&TMeshPoint::X).second - by(&TMeshPoint::X).first, 3.8f);
    EXPECT_FLOAT_EQ(by(&TMeshPoint::Y).first, -1);
    EXPECT_FLOAT_EQ(by(&TMeshPoint::Y).second, 2.7f);
}

TEST(HullMesh, EveryFaceIsSeenFromTheSideItsNormalsPointTo) {
    const auto points = HullPoints();
    int topsides = 0;
    for (std::size_t f = 0; f < kHullFaces.size(); ++f) {
        SCOPED_TRACE(testing::Message() << "face " << f);
        const THullFace& face = kHullFaces[f];
        const TMeshPoint facing = Facing(points, face.Corners);
        for (const TMeshCorner& c : face.Corners) {
            ASSERT_GE(c.Vertex, 0);
            ASSERT_LT(c.Vertex, 19);
            ASSERT_GE(c.Normal, 0);
            ASSERT_LT(c.Normal, 22);
            EXPECT_GT(Dot(facing, kHullNormals[c.Normal]), 0);
        }
        topsides += face.Textured;
    }
    EXPECT_EQ(topsides, 12);
}

TEST(HullMesh, TopsideTextureCoordinatesFollowTheBitmapLayout) {
    // u runs stern to bow; the starboard band is the top of the bitmap with the deck line on
    // top, the port band the bottom with the deck line at the bottom.
    std::vector<int> used;
    for (const THullFace& face : kHullFaces)
        if (face.Textured)
            for (const TMeshCorner& c : face.Corners)
                used.push_back(c.Vertex);
    for (const int vertex : used) {
        SCOPED_TRACE(testing::Message() << "vertex " << vertex);
        const THullVertex& v = kHullVertices[vertex];
        const TTexCoord uv = HullTexCoord(vertex);
        EXPECT_NEAR(uv.U, v.AuthoredZ / 8, 1e-6);
        const float starboardV = 0.2f * (2 - v.Y);
        EXPECT_NEAR(uv.V, v.X >= 0 && vertex < 10 ? starboardV : 1 - starboardV, 1e-6);
        EXPECT_TRUE(uv.V <= 0.4f || uv.V >= 0.6f);
    }
    EXPECT_EQ(std::count_if(kHullTexCoords.begin(), kHullTexCoords.end(),
                            [&](auto t) { return std::ranges::count(used, t.Vertex) > 0; }),
              16);
    EXPECT_FLOAT_EQ(HullTexCoord(4).V, 0.08f);
    EXPECT_FLOAT_EQ(HullTexCoord(14).V, 0.92f);
}

TEST(SailMeshes, EveryFaceComesInBothWindings) {
    struct Sail {
        const char* Name;
        std::span<const TMeshPoint> Vertices;
        std::span<const TFaceCorners> Faces;
        std::size_t Normals;
    };
    std::vector<TMeshPoint> spinnaker;
    for (const TSpinnakerVertex& v : kSpinnakerVertices)
        spinnaker.push_back(v.Position);
    const Sail sails[] = {
        {"main", kMainSailVertices, kMainSailFaces, kMainSailNormals.size()},
        {"jib 1", kJibVertices[0], kJibFaces, kJibNormals.size()},
        {"jib 2", kJibVertices[1], kJibFaces, kJibNormals.size()},
        {"jib 3", kJibVertices[2], kJibFaces, kJibNormals.size()},
        {"spinnaker", spinnaker, kSpinnakerFaces, kSpinnakerNormals.size()},
    };
    for (const Sail& sail : sails) {
        SCOPED_TRACE(sail.Name);
        const std::size_t half = sail.Faces.size() / 2;
        for (std::size_t f = 0; f < sail.Faces.size(); ++f) {
            for (const TMeshCorner& c : sail.Faces[f]) {
                ASSERT_LT(static_cast<std::size_t>(c.Vertex), sail.Vertices.size());
                ASSERT_LT(static_cast<std::size_t>(c.Normal), sail.Normals);
            }
            // Every face has its twin with the same corners turned the other way.
            const auto twin = std::ranges::find_if(sail.Faces, [&](const TFaceCorners& t) {
                return Sorted(t) == Sorted(sail.Faces[f]) &&
                       Dot(Facing(sail.Vertices, t), Facing(sail.Vertices, sail.Faces[f])) < 0;
            });
            EXPECT_NE(twin, sail.Faces.end()) << "face " << f;
            if (f < half && sail.Faces.size() == 20) {
                EXPECT_EQ(Sorted(sail.Faces[f + half]), Sorted(sail.Faces[f])) << "face " << f;
            }
        }
    }
    // The spinnaker's first ten faces carry the normal of their vertex, the twins that + 10.
    for (std::size_t f = 0; f < kSpinnakerFaces.size(); ++f)
        for (const TMeshCorner& c : kSpinnakerFaces[f])
            EXPECT_EQ(c.Normal, c.Vertex + (f < 10 ? 0 : 10)) << "face " << f;
}

TEST(SailMeshes, JibsGetFullerAndShorterFootedInShapeOrder) {
    for (int j = 1; j < 3; ++j) {
        SCOPED_TRACE(j);
        for (int p : {2, 3, 5, 6})
            EXPECT_GT(kJibVertices[j][p].X, kJibVertices[j - 1][p].X);
        EXPECT_GT(kJibVertices[j][4].Z, kJibVertices[j - 1][4].Z); // clew nearer the tack
        for (int p = 0; p < 7; ++p)
            EXPECT_EQ(kJibVertices[j][p].Y, kJibVertices[0][p].Y); // y keeps with the shape
    }
    EXPECT_FLOAT_EQ(kMainSailVertices[3].X, 0.3f);
    EXPECT_FLOAT_EQ(kSpinnakerVertices[2].UV.U, 0.5f);
    EXPECT_FLOAT_EQ(kSpinnakerVertices[2].UV.V, 0.75f);
}
