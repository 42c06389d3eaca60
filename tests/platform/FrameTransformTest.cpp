// Positions and orientations of frames, set and read relative to other frames.

#include "platform/d3drm/D3DRM.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class FrameTransform : public ::testing::Test {
protected:
    void SetUp() override {
        D3DRMFailures().Clear();
        IDirect3DRM* first = nullptr;
        ASSERT_EQ(Direct3DRMCreate(&first), D3DRM_OK);
        ASSERT_EQ(first->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&RM)), S_OK);
        first->Release();
        ASSERT_EQ(RM->CreateFrame(nullptr, &Scene), D3DRM_OK);
    }
    void TearDown() override {
        EXPECT_EQ(Scene->Release(), 0u);
        EXPECT_EQ(RM->Release(), 0u);
    }
    // A child of Parent at Position, oriented; the parent keeps it.
    IDirect3DRMFrame2* Child(IDirect3DRMFrame* Parent, D3DVECTOR Position, D3DVECTOR Dir,
                             D3DVECTOR Up) {
        IDirect3DRMFrame2* f = nullptr;
        EXPECT_EQ(RM->CreateFrame(Parent, &f), D3DRM_OK);
        EXPECT_EQ(f->SetPosition(Parent, Position.x, Position.y, Position.z), D3DRM_OK);
        EXPECT_EQ(f->SetOrientation(Parent, Dir.x, Dir.y, Dir.z, Up.x, Up.y, Up.z), D3DRM_OK);
        f->Release();
        return f;
    }

    IDirect3DRM2* RM = nullptr;
    IDirect3DRMFrame2* Scene = nullptr;
};

void ExpectNear(D3DVECTOR A, D3DVECTOR B, const char* What) {
    EXPECT_NEAR(A.x, B.x, 2e-3) << What;
    EXPECT_NEAR(A.y, B.y, 2e-3) << What;
    EXPECT_NEAR(A.z, B.z, 2e-3) << What;
}

D3DVECTOR Unit(D3DVECTOR V) {
    const float l = std::sqrt(V.x * V.x + V.y * V.y + V.z * V.z);
    return {V.x / l, V.y / l, V.z / l};
}

// SetOrientation relative to one frame, read back relative to the same frame: the direction
// comes back as a unit vector and up as its part perpendicular to the direction.
TEST_F(FrameTransform, OrientationsRoundTripRelativeToAnyFrame) {
    IDirect3DRMFrame2* yachts = Child(Scene, {3, 0, -2}, {0, 0, 1}, {0, 1, 0});
    IDirect3DRMFrame2* heeled = Child(yachts, {10, 0, 5}, {-0.5f, 0, 0.866f}, {0.2f, 1, 0});
    IDirect3DRMFrame2* sail = Child(heeled, {0, 2.2f, 3}, {0.3f, 0.1f, -1}, {0, 9.65f, -2.58f});
    IDirect3DRMFrame2* other = Child(Scene, {-4, 1, 7}, {1, 0, 0}, {0, 0, 1});
    struct TCase {
        D3DVECTOR Dir, Up, ExpectedUp;
    } cases[] = {
        {{0, 0, 1}, {0, 1, 0}, {0, 1, 0}},
        {{0, 0, 5}, {0, 3, 0}, {0, 1, 0}},
        {{1, 0, 0}, {0, 1, 1}, {0, 0.7071f, 0.7071f}},
        {{0, -0.34f, 0.93f}, {0, 1, -1}, {0, 0.9393f, 0.3434f}},
        {{0, 0.173f, 0.984f}, {0, 1, -1}, {0, 0.9849f, -0.1732f}},
        {{-0.5f, 0, 0.866f},
         {-0.866f * 0.2588f, 0.9659f, -0.5f * 0.2588f},
         {-0.866f * 0.2588f, 0.9659f, -0.5f * 0.2588f}},
    };
    IDirect3DRMFrame* references[] = {Scene, yachts, heeled, other, nullptr};
    IDirect3DRMFrame* subjects[] = {heeled, sail};
    for (IDirect3DRMFrame* subject : subjects)
        for (IDirect3DRMFrame* ref : references)
            for (const TCase& c : cases) {
                // Relative to itself, every frame always looks along its own z.
                if (ref == subject)
                    continue;
                ASSERT_EQ(
                    subject->SetOrientation(ref, c.Dir.x, c.Dir.y, c.Dir.z, c.Up.x, c.Up.y, c.Up.z),
                    D3DRM_OK);
                D3DVECTOR dir, up;
                ASSERT_EQ(subject->GetOrientation(ref, &dir, &up), D3DRM_OK);
                ExpectNear(dir, Unit(c.Dir), "direction");
                ExpectNear(up, c.ExpectedUp, "up");
            }
}

TEST_F(FrameTransform, TheXAxisIsUpCrossDirection) {
    IDirect3DRMFrame2* f = Child(Scene, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    // Looking along +x with y up, the frame's x axis points to -z in a left-handed world.
    IDirect3DRMFrame2* probe = Child(f, {1, 0, 0}, {0, 0, 1}, {0, 1, 0});
    D3DVECTOR p;
    ASSERT_EQ(probe->GetPosition(Scene, &p), D3DRM_OK);
    ExpectNear(p, {0, 0, -1}, "x axis");
    ASSERT_EQ(probe->SetPosition(f, 0, 0, 2), D3DRM_OK);
    ASSERT_EQ(probe->GetPosition(Scene, &p), D3DRM_OK);
    ExpectNear(p, {2, 0, 0}, "z axis");
}

// The cameras of the game: turned first, then moved relative to themselves.
TEST_F(FrameTransform, AMoveRelativeToTheFrameItselfUsesItsNewAxes) {
    struct TCase {
        D3DVECTOR Dir, Up, Offset, World;
    } cases[] = {
        {{0, -0.34f, 0.93f}, {0, 1, -1}, {0, 5, -30}, {0, 15.0f, -26.46f}},
        {{0, 0.173f, 0.984f}, {0, 1, -1}, {0, 6, -20}, {0, 2.45f, -20.74f}},
    };
    IDirect3DRMFrame2* yachts = Child(Scene, {0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    IDirect3DRMFrame2* yacht = Child(yachts, {12, 0, -7}, {-0.5f, 0, 0.866f}, {0, 1, 0});
    IDirect3DRMFrame2* camera = Child(Scene, {0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    for (const TCase& c : cases) {
        ASSERT_EQ(camera->SetOrientation(Scene, c.Dir.x, c.Dir.y, c.Dir.z, c.Up.x, c.Up.y, c.Up.z),
                  D3DRM_OK);
        ASSERT_EQ(camera->SetPosition(yacht, 0, 0, 0), D3DRM_OK);
        ASSERT_EQ(camera->SetPosition(camera, c.Offset.x, c.Offset.y, c.Offset.z), D3DRM_OK);
        D3DVECTOR p;
        ASSERT_EQ(camera->GetPosition(yacht, &p), D3DRM_OK);
        // The yacht is turned, so read the offset in world axes from the yacht's position.
        D3DVECTOR world;
        ASSERT_EQ(camera->GetPosition(Scene, &world), D3DRM_OK);
        EXPECT_NEAR(world.x - 12, c.World.x, 0.02);
        EXPECT_NEAR(world.y, c.World.y, 0.02);
        EXPECT_NEAR(world.z + 7, c.World.z, 0.02);
    }
}

TEST_F(FrameTransform, PositionsReadRelativeToOtherFramesFollowTheirPlacement) {
    IDirect3DRMFrame2* a = Child(Scene, {1, 2, 3}, {0, 0, 1}, {0, 1, 0});
    IDirect3DRMFrame2* b = Child(a, {0, 0, 10}, {1, 0, 0}, {0, 1, 0}); // turned to +x
    IDirect3DRMFrame2* c = Child(b, {0, 0, 5}, {0, 0, 1}, {0, 1, 0});  // 5 ahead of b
    D3DVECTOR p;
    ASSERT_EQ(c->GetPosition(Scene, &p), D3DRM_OK);
    ExpectNear(p, {6, 2, 13}, "in the scene");
    ASSERT_EQ(c->GetPosition(a, &p), D3DRM_OK);
    ExpectNear(p, {5, 0, 10}, "in a");
    ASSERT_EQ(c->GetPosition(b, &p), D3DRM_OK);
    ExpectNear(p, {0, 0, 5}, "in b");
    ASSERT_EQ(a->GetPosition(c, &p), D3DRM_OK);
    ExpectNear(p, {10, -0, -5}, "a seen from c"); // c looks along +x; a lies behind and left
    // Moving the parent carries the child; the child's own setting relative to its parent stays.
    ASSERT_EQ(a->SetPosition(Scene, 0, 0, 0), D3DRM_OK);
    ASSERT_EQ(c->GetPosition(Scene, &p), D3DRM_OK);
    ExpectNear(p, {5, 0, 10}, "after the parent moved");
    // Set relative to a frame that is not the parent.
    ASSERT_EQ(c->SetPosition(a, 1, 1, 1), D3DRM_OK);
    ASSERT_EQ(c->GetPosition(a, &p), D3DRM_OK);
    ExpectNear(p, {1, 1, 1}, "set in a");
    ASSERT_EQ(c->GetPosition(nullptr, &p), D3DRM_OK);
    ExpectNear(p, {1, 1, 1}, "the world");
}

TEST_F(FrameTransform, AnOrientationWithoutAWayUpIsRefusedAndChangesNothing) {
    IDirect3DRMFrame2* f = Child(Scene, {0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    EXPECT_EQ(f->SetOrientation(Scene, 0, 0, 0, 0, 1, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(f->SetOrientation(Scene, 0, 2, 0, 0, 1, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(f->SetOrientation(Scene, 0, 0, 1, 0, 0, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(f->SetOrientation(Scene, NAN, 0, 1, 0, 1, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(f->SetPosition(Scene, INFINITY, 0, 1), D3DRMERR_BADVALUE);
    D3DVECTOR dir, up;
    ASSERT_EQ(f->GetOrientation(Scene, &dir, &up), D3DRM_OK);
    ExpectNear(dir, {0, 0, 1}, "direction");
    ExpectNear(up, {0, 1, 0}, "up");
}

TEST_F(FrameTransform, AChildOutlivingItsParentStaysWhereItWas) {
    IDirect3DRMFrame2* parent = nullptr;
    ASSERT_EQ(RM->CreateFrame(nullptr, &parent), D3DRM_OK);
    parent->SetPosition(nullptr, 5, 0, 0);
    parent->SetOrientation(nullptr, 1, 0, 0, 0, 1, 0);
    IDirect3DRMFrame2* child = nullptr;
    ASSERT_EQ(RM->CreateFrame(parent, &child), D3DRM_OK);
    child->SetPosition(parent, 0, 0, 2);
    EXPECT_EQ(parent->Release(), 0u);
    D3DVECTOR p, dir, up;
    ASSERT_EQ(child->GetPosition(nullptr, &p), D3DRM_OK);
    ExpectNear(p, {7, 0, 0}, "position");
    ASSERT_EQ(child->GetOrientation(nullptr, &dir, &up), D3DRM_OK);
    ExpectNear(dir, {1, 0, 0}, "direction");
    EXPECT_EQ(child->Release(), 0u);
}

} // namespace
