#include "platform/d3drm/RMMeshBuilder.h"
#include "tests/yacht/SceneProbe.h"
#include "yacht/SailTrim.h"
#include "yacht/YachtMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>

namespace {

constexpr D3DVECTOR kParked{0, 5000, 0};
constexpr D3DVECTOR kOrigin{0, 0, 0};

class Scene : public ::testing::Test, public TSceneProbe {
protected:
    static TYachtState State(float X, float Z, float Heading, float Heel = 0, float Wind = 0) {
        TYachtState s = ResetYachtState();
        s.X = X;
        s.Z = Z;
        s.Heading = Heading;
        s.Heel = Heel;
        s.WindAngle = Wind;
        s.Tack = Wind < 0 ? 1 : 0;
        return s;
    }
    // The mesh behind a visual, as the stand-in keeps it.
    static TRMMeshBuilder* Mesh(IDirect3DRMVisual* Visual) {
        return dynamic_cast<TRMMeshBuilder*>(Visual);
    }
    // A bitmap that exists and loads: the sample hull texture the build draws.
    static std::string SampleTexture() {
        return std::string(MAREVO_BINARY_DIR) + "/app/HALTEX.BMP";
    }
};

D3DVECTOR Heading(float Degrees) {
    float dx, dz;
    HeadingVector(dx, dz, Degrees);
    return {dx, 0, dz};
}

} // namespace

TEST_F(Scene, InitSceneParksTenEmptyYachtsWithThreeSailFramesEach) {
    EXPECT_TRUE(Yacht.SceneReady);
    EXPECT_EQ(Yacht.ViewMode, 2);
    EXPECT_EQ(Yacht.PendingTexture, nullptr);
    ASSERT_EQ(Children(Yacht.YachtsFrame), 10);
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(Near(Position(n, kYachtItself), kParked));
        WithFrame(n, kYachtItself, [](IDirect3DRMFrame* F) { EXPECT_EQ(Children(F), 3); });
        EXPECT_FALSE(Yacht.YachtPresent(n));
        EXPECT_FALSE(Yacht.HasSpinnaker(n));
    }
    // Camera, yachts, lights and the two emptied holders of the sail sets.
    EXPECT_EQ(Children(Yacht.SceneFrame), 5);
    EXPECT_EQ(Yacht.Camera(), Yacht.CameraFrame);
}

TEST_F(Scene, SailSetsHoldTwoMainsAndSixJibsBelliedToTheirSides) {
    ASSERT_NE(Yacht.MainSailSet, nullptr);
    ASSERT_NE(Yacht.JibSet, nullptr);
    ASSERT_EQ(Yacht.MainSailSet->GetSize(), 2u);
    ASSERT_EQ(Yacht.JibSet->GetSize(), 6u);
    // The main's belly point is vertex 3; the jib's foot and leech points 2, 3, 5 and 6.
    const float mainBelly[] = {0.3f, -0.3f};
    for (int m = 0; m < 2; ++m) {
        TRMMeshBuilder* mesh = Mesh(SetElement(Yacht.MainSailSet, m));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->Quality(), D3DRMRENDER_UNLITFLAT);
        ASSERT_EQ(mesh->Geometry().Vertices.size(), 4u);
        EXPECT_FLOAT_EQ(mesh->Geometry().Vertices[3].X, mainBelly[m]);
        EXPECT_EQ(mesh->Geometry().Triangles.size(), 4u);
    }
    const float jibBelly[] = {0.14f, 0.72f, 1.24f, -0.14f, -0.72f, -1.24f};
    for (int j = 0; j < 6; ++j) {
        SCOPED_TRACE(j);
        TRMMeshBuilder* mesh = Mesh(SetElement(Yacht.JibSet, j));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->Quality(), D3DRMRENDER_UNLITFLAT);
        const auto& v = mesh->Geometry().Vertices;
        ASSERT_EQ(v.size(), 7u);
        for (int p : {2, 3, 5, 6})
            EXPECT_FLOAT_EQ(v[p].X, jibBelly[j]);
        EXPECT_EQ(v[4].X, 0); // the clew stays on the centre line
        EXPECT_EQ(mesh->Geometry().Triangles.size(), 10u);
        EXPECT_FLOAT_EQ(mesh->Geometry().Triangles[0].Color.Z, 0.3f);
    }
}

TEST_F(Scene, OperationsOnAnEmptySlotDoNothingButBuildAHullThere) {
    Yacht.SetYachtState(3, State(10, 20, 45));
    Yacht.SetSpinnakerTexture(3, "");
    EXPECT_FALSE(Yacht.YachtPresent(3));
    EXPECT_FALSE(Yacht.HasSpinnaker(3));
    EXPECT_TRUE(Near(Position(3, kYachtItself), kParked));
    EXPECT_EQ(Visuals(3, kMainSailFrame), 0);

    // A hull texture on an empty slot: present, but parked until it is first placed.
    Yacht.SetHullTexture(3, "");
    EXPECT_TRUE(Yacht.YachtPresent(3));
    EXPECT_TRUE(Near(Position(3, kYachtItself), kParked));
    Yacht.SetYachtState(3, State(10, 20, 45));
    EXPECT_TRUE(Near(Position(3, kYachtItself), D3DVECTOR{10, 0, 20}));
}

TEST_F(Scene, AnAddedYachtStandsAtTheOriginUntilPlaced) {
    Yacht.AddYacht(2, "");
    EXPECT_TRUE(Yacht.YachtPresent(2));
    EXPECT_FALSE(Yacht.HasSpinnaker(2)); // the caller adds the spinnaker
    EXPECT_EQ(Visuals(2, kYachtItself), 1);
    EXPECT_TRUE(Near(Position(2, kYachtItself), kOrigin));
    D3DVECTOR up;
    EXPECT_TRUE(Near(Direction(2, kYachtItself, false, &up), D3DVECTOR{0, 0, 1}));
    EXPECT_TRUE(Near(up, D3DVECTOR{0, 1, 0}));

    Yacht.SetYachtState(2, State(-7, 12, 30, 10));
    EXPECT_TRUE(Near(Position(2, kYachtItself), D3DVECTOR{-7, 0, 12}));
    // Removed and added again: back at the origin with the orientation it had.
    Yacht.RemoveYacht(2);
    EXPECT_FALSE(Yacht.YachtPresent(2));
    EXPECT_TRUE(Near(Position(2, kYachtItself), kParked));
    Yacht.SetYachtState(2, State(1, 1, 90));
    EXPECT_TRUE(Near(Position(2, kYachtItself), kParked));
    Yacht.AddYacht(2, "");
    EXPECT_TRUE(Near(Position(2, kYachtItself), kOrigin));
    EXPECT_TRUE(Near(Direction(2, kYachtItself), Heading(30)));
    EXPECT_EQ(Visuals(2, kYachtItself), 1);
}

TEST_F(Scene, RemovingAYachtLeavesItsSailsOnTheParkedFrame) {
    Yacht.AddYacht(4, "");
    Yacht.SetSpinnakerTexture(4, "");
    Yacht.SetYachtState(4, State(0, 0, 0));
    Yacht.RemoveYacht(4);
    EXPECT_FALSE(Yacht.YachtPresent(4));
    EXPECT_TRUE(Yacht.HasSpinnaker(4));
    EXPECT_EQ(Visuals(4, kMainSailFrame), 1);
    EXPECT_EQ(Visuals(4, kJibFrame), 1);
    // Hidden with the frame that carries them.
    WithFrame(4, kMainSailFrame, [&](IDirect3DRMFrame* F) {
        D3DVECTOR world;
        F->GetPosition(nullptr, &world);
        EXPECT_GT(world.y, 4000);
    });
}

TEST_F(Scene, NumbersOutsideOneToTenAreIgnored) {
    for (const int n : {0, 11, -1, 1000}) {
        SCOPED_TRACE(n);
        Yacht.AddYacht(n, "");
        Yacht.SetHullTexture(n, "");
        Yacht.SetSpinnakerTexture(n, "");
        Yacht.SetYachtState(n, State(1, 2, 3));
        Yacht.RemoveYacht(n);
        EXPECT_FALSE(Yacht.YachtPresent(n));
        EXPECT_FALSE(Yacht.HasSpinnaker(n));
        D3DVECTOR p, d, u;
        EXPECT_FALSE(Yacht.GetYachtPlacement(n, p, d, u));
    }
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(Visuals(n, kYachtItself), 0) << n;
}

TEST_F(Scene, APositionThatIsNoNumberPlacesTheYachtAtZero) {
    Yacht.AddYacht(1, "");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Yacht.SetYachtState(1, State(nan, 7, 0));
    EXPECT_TRUE(Near(Position(1, kYachtItself), D3DVECTOR{0, 0, 7}));
    Yacht.SetYachtState(1, State(5, -inf, nan, nan));
    EXPECT_TRUE(Near(Position(1, kYachtItself), D3DVECTOR{5, 0, 0}));
    EXPECT_TRUE(Near(Direction(1, kYachtItself), D3DVECTOR{0, 0, 1}));
}

TEST_F(Scene, TexturesChangedTwiceLeaveOneMeshEach) {
    Yacht.AddYacht(1, "");
    Yacht.SetSpinnakerTexture(1, SampleTexture());
    Yacht.SetSpinnakerTexture(1, "");
    EXPECT_EQ(Visuals(1, kSpinnakerFrame), 1);
    Yacht.SetHullTexture(1, SampleTexture());
    Yacht.SetHullTexture(1, "");
    EXPECT_EQ(Visuals(1, kYachtItself), 1);
    EXPECT_EQ(Yacht.PendingTexture, nullptr);
}

TEST_F(Scene, TexturesThatCannotBeLoadedBuildPlainMeshes) {
    const std::string garbage =
        (std::filesystem::temp_directory_path() / "marevo-scene-not-a-bitmap.bmp").string();
    std::ofstream(garbage) << "not a bitmap";
    struct Case {
        const char* Name;
        std::string File;
        bool Textured;
    };
    const Case cases[] = {
        {"sample", SampleTexture(), true},
        {"missing", "SPINTEX.BMP-that-is-not-there", false},
        {"not a bitmap", garbage, false},
        {"none", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Yacht.AddYacht(5, c.File);
        Yacht.SetSpinnakerTexture(5, c.File);
        ASSERT_TRUE(Yacht.YachtPresent(5));
        ASSERT_TRUE(Yacht.HasSpinnaker(5));
        EXPECT_EQ(Yacht.PendingTexture, nullptr);

        TRMMeshBuilder* hull = Mesh(Visual(5, kYachtItself));
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(hull->Quality(), D3DRMRENDER_GOURAUD);
        const auto& triangles = hull->Geometry().Triangles;
        ASSERT_EQ(triangles.size(), 30u);
        for (std::size_t f = 0; f < triangles.size(); ++f) {
            const bool topside = (f >= 10 && f <= 15) || (f >= 20 && f <= 25);
            EXPECT_EQ(triangles[f].Texture != nullptr, c.Textured && topside) << "face " << f;
        }
        // Corner 0 of face 10 is vertex 2, at (0.725, 0) on the bitmap.
        if (c.Textured) {
            EXPECT_FLOAT_EQ(triangles[10].U[0], 0.725f);
            EXPECT_FLOAT_EQ(triangles[10].V[0], 0);
        }

        TRMMeshBuilder* spinnaker = Mesh(Visual(5, kSpinnakerFrame));
        ASSERT_NE(spinnaker, nullptr);
        EXPECT_EQ(spinnaker->Quality(), D3DRMRENDER_UNLITFLAT);
        ASSERT_EQ(spinnaker->Geometry().Triangles.size(), 20u);
        for (const TPreparedTriangle& t : spinnaker->Geometry().Triangles) {
            EXPECT_EQ(t.Texture != nullptr, c.Textured);
            for (int k = 0; k < 3; ++k) {
                if (c.Textured && t.Vertex[k] == 2) {
                    EXPECT_FLOAT_EQ(t.U[k], 0.5f);
                    EXPECT_FLOAT_EQ(t.V[k], 0.75f);
                }
            }
        }
    }
    std::filesystem::remove(garbage);
}

TEST_F(Scene, HeadingAndHeelAreTakenInWholeDegreesTowardZero) {
    Yacht.AddYacht(1, "");
    auto orientation = [&](float Heading, float Heel) {
        Yacht.SetYachtState(1, State(0, 0, Heading, Heel));
        D3DVECTOR up;
        const D3DVECTOR d = Direction(1, kYachtItself, false, &up);
        return std::pair{d, up};
    };
    struct Case {
        float HeadingA, HeelA, HeadingB, HeelB;
    };
    const Case same[] = {{370, 0, 10, 0}, {10.9f, 0, 10, 0}, {45, -0.9f, 45, 0}, {-90, 5, 270, 5}};
    for (const Case& c : same) {
        SCOPED_TRACE(testing::Message() << c.HeadingA << "/" << c.HeelA);
        const auto a = orientation(c.HeadingA, c.HeelA);
        const auto b = orientation(c.HeadingB, c.HeelB);
        EXPECT_TRUE(Near(a.first, b.first, 1e-6f)) << a.first << " vs " << b.first;
        EXPECT_TRUE(Near(a.second, b.second, 1e-6f)) << a.second << " vs " << b.second;
    }
    // Heading 90 points the bow to -x; a heel turns the mast about the fore-and-aft axis.
    const auto [d, up] = orientation(90, 20);
    EXPECT_TRUE(Near(d, D3DVECTOR{-1, 0, 0}));
    float ux, uy, uz;
    UpVector(ux, uy, uz, 20, 90);
    EXPECT_TRUE(Near(up, D3DVECTOR{ux, uy, uz}));
    EXPECT_NEAR(up.z, -std::sin(20 * std::numbers::pi / 180), 1e-5);
}

TEST_F(Scene, SailsArePosedFromTheTrimOfEachFrame) {
    Yacht.AddYacht(1, "");
    for (const TYachtState s :
         {State(5, 5, 0, 0, 30), State(5, 5, 200, 3, -150), State(5, 5, 90, -4, 100)}) {
        for (int frame = 0; frame < 4; ++frame) {
            SCOPED_TRACE(testing::Message() << "wind " << s.WindAngle << " frame " << frame);
            Yacht.FrameCounter = frame;
            Yacht.SetYachtState(1, s);
            const TSailPose main = MainTrim(s, frame);
            EXPECT_TRUE(Near(Position(1, kMainSailFrame, true), kOrigin));
            EXPECT_TRUE(Near(Direction(1, kMainSailFrame, true), D3DVECTOR{main.DX, 0, main.DZ}));
            ASSERT_EQ(Visuals(1, kMainSailFrame), 1);
            EXPECT_EQ(Visual(1, kMainSailFrame), SetElement(Yacht.MainSailSet, main.Variant));

            const TSailPose jib = JibTrim(s, frame);
            EXPECT_TRUE(Near(Position(1, kJibFrame, true), D3DVECTOR{0, 2.2f, 3}));
            const float length = std::hypot(jib.DX, jib.DY, jib.DZ);
            EXPECT_TRUE(Near(Direction(1, kJibFrame, true),
                             D3DVECTOR{jib.DX / length, jib.DY / length, jib.DZ / length}));
            ASSERT_EQ(Visuals(1, kJibFrame), 1);
            EXPECT_EQ(Visual(1, kJibFrame), SetElement(Yacht.JibSet, jib.Variant));
            // No spinnaker mesh: the frame stays parked.
            EXPECT_TRUE(Near(Position(1, kSpinnakerFrame), kParked, 0.01f));
        }
    }
}

TEST_F(Scene, TheSpinnakerFliesOnlyWhenSetAndBuilt) {
    Yacht.AddYacht(1, "");
    TYachtState s = State(3, 4, 10, 0, 150);
    s.Spinnaker = 1;
    // Set but not built: the jib stays up and the spinnaker frame parked.
    Yacht.SetYachtState(1, s);
    EXPECT_TRUE(Near(Position(1, kJibFrame, true), D3DVECTOR{0, 2.2f, 3}));
    EXPECT_TRUE(Near(Position(1, kSpinnakerFrame), kParked, 0.01f));

    Yacht.SetSpinnakerTexture(1, "");
    Yacht.SetYachtState(1, s);
    EXPECT_TRUE(Near(Position(1, kJibFrame), kParked, 0.01f));
    EXPECT_TRUE(Near(Position(1, kSpinnakerFrame, true), kOrigin));
    const TSailPose spinnaker = SpinnakerTrim(s);
    EXPECT_TRUE(
        Near(Direction(1, kSpinnakerFrame, true), D3DVECTOR{spinnaker.DX, 0, spinnaker.DZ}));
    EXPECT_EQ(Visuals(1, kSpinnakerFrame), 1);

    // Lowered: parked again, the mesh kept; the jib is back.
    s.Spinnaker = 0;
    Yacht.SetYachtState(1, s);
    EXPECT_TRUE(Near(Position(1, kSpinnakerFrame), kParked, 0.01f));
    EXPECT_EQ(Visuals(1, kSpinnakerFrame), 1);
    EXPECT_TRUE(Near(Position(1, kJibFrame, true), D3DVECTOR{0, 2.2f, 3}));
    EXPECT_EQ(Visuals(1, kJibFrame), 1);
}

TEST_F(Scene, CamerasFollowYachtOneInEachView) {
    Yacht.AddYacht(1, "");
    const D3DVECTOR at{12, 0, -30};
    for (const float heading : {0.0f, 123.0f, 250.0f}) {
        Yacht.SetYachtState(1, State(at.x, at.z, heading, 15));
        struct View {
            std::uint8_t Mode;
            D3DVECTOR Offset, Direction;
        };
        // Views U and F trail at a fixed offset in world axes, whatever the heading.
        const View trailing[] = {{1, {0, 15.0f, -26.46f}, {0, -0.34f / 0.9902f, 0.93f / 0.9902f}},
                                 {2, {0, 2.45f, -20.74f}, {0, 0.173f, 0.984f}}};
        for (const View& v : trailing) {
            SCOPED_TRACE(testing::Message() << "heading " << heading << " view " << int(v.Mode));
            Yacht.SetViewMode(v.Mode);
            Yacht.RenderFrame();
            D3DVECTOR p, d, u;
            Yacht.CameraFrame->GetPosition(Yacht.YachtsFrame, &p);
            Yacht.CameraFrame->GetOrientation(Yacht.YachtsFrame, &d, &u);
            const D3DVECTOR offset{p.x - at.x, p.y - at.y, p.z - at.z};
            EXPECT_TRUE(Near(offset, v.Offset, 0.01f)) << offset;
            EXPECT_TRUE(Near(d, v.Direction, 0.001f)) << d;
        }
        // View R sits on board, 3.05 up and 3.2 astern of the mast in the heeled yacht's
        // axes, and looks level along the heading.
        Yacht.SetViewMode(0);
        Yacht.RenderFrame();
        D3DVECTOR seat, d, u;
        WithFrame(1, kYachtItself,
                  [&](IDirect3DRMFrame* Y) { Yacht.CameraFrame->GetPosition(Y, &seat); });
        EXPECT_TRUE(Near(seat, D3DVECTOR{0, 3.05f, -3.2f}, 1e-3f)) << seat;
        Yacht.CameraFrame->GetOrientation(Yacht.YachtsFrame, &d, &u);
        EXPECT_TRUE(Near(d, Heading(heading), 1e-4f)) << d;
        EXPECT_TRUE(Near(u, D3DVECTOR{0, 1, 0}, 1e-4f)) << u;
    }
}

TEST_F(Scene, ViewModesAboveTwoAreIgnored) {
    Yacht.SetViewMode(1);
    Yacht.SetViewMode(3);
    EXPECT_EQ(Yacht.ViewMode, 1);
    Yacht.SetViewMode(255);
    EXPECT_EQ(Yacht.ViewMode, 1);
    Yacht.SetViewMode(2);
    EXPECT_EQ(Yacht.ViewMode, 2);
}

TEST_F(Scene, TheFrameCounterWrapsAfterAThousand) {
    Yacht.FrameCounter = 999;
    const int expected[] = {1000, 0, 1};
    for (const int e : expected) {
        Yacht.RenderFrame();
        EXPECT_EQ(Yacht.FrameCounter, e);
    }
}

TEST(SceneLifetime, BeforeInitSceneEveryOperationIsHarmless) {
    vcl::TForm form;
    TDrawYacht yacht(&form);
    EXPECT_TRUE(yacht.Use3D);
    EXPECT_EQ(yacht.ViewMode, 2);
    yacht.AddYacht(1, "");
    yacht.SetHullTexture(1, "");
    yacht.SetSpinnakerTexture(1, "");
    yacht.SetYachtState(1, ResetYachtState());
    yacht.RemoveYacht(1);
    yacht.RenderFrame();
    EXPECT_FALSE(yacht.SceneReady);
    EXPECT_FALSE(yacht.YachtPresent(1));
    EXPECT_FALSE(yacht.HasSpinnaker(1));
}

TEST(SceneLifetime, FreeingTheSceneReleasesEveryFrameAndSailSet) {
    IDirect3DRMFrame* yachts = nullptr;
    IDirect3DRMVisualArray* jibs = nullptr;
    {
        TSceneProbe probe;
        probe.Yacht.AddYacht(1, "");
        probe.Yacht.SetSpinnakerTexture(1, "");
        yachts = probe.Yacht.YachtsFrame;
        yachts->AddRef();
        jibs = probe.Yacht.JibSet;
        jibs->AddRef();
    }
    // Only the references taken here are left.
    EXPECT_EQ(TSceneProbe::Children(yachts), 10);
    EXPECT_EQ(jibs->Release(), 0u);
    EXPECT_EQ(yachts->Release(), 0u);
}
