#include "yacht/CntlYacht.h"
#include "yacht/YachtMath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

TCntlYacht YachtAt(float Heading, bool Trimmed = true) {
    TCntlYacht y;
    TYachtState s = ResetYachtState();
    s.Heading = Heading;
    s.SailsTrimmed = Trimmed ? 1 : 0;
    y.SetState(s);
    return y;
}

} // namespace

TEST(CntlYacht, StartsAtRestWithSailsTrimmed) {
    TCntlYacht y;
    const TYachtState s = y.GetState();
    EXPECT_EQ(s.X, 0);
    EXPECT_EQ(s.Z, 0);
    EXPECT_EQ(s.Heading, 0);
    EXPECT_EQ(s.SailsTrimmed, 1);
    EXPECT_EQ(s.Spinnaker, 0);
    EXPECT_EQ(s.Reserved, 0);
    EXPECT_EQ(y.Speed(), 0);
}

TEST(CntlYacht, WindAngleAndTackFollowTheHeading) {
    struct Case {
        float Heading;
        float WindAngle;
        int Tack;
    } cases[] = {{0, 0, 0},     {180, 180, 0},   {1, -1, 1},     {359, 1, 0},
                 {90, -90, 1},  {300, 60, 0},    {179, -179, 1}, {181, 179, 0},
                 {370, -10, 1}, {10.9f, -10, 1}, {-10, 10, 0}};
    for (const Case& c : cases) {
        TCntlYacht y = YachtAt(c.Heading);
        y.Step();
        EXPECT_EQ(y.GetState().WindAngle, c.WindAngle) << "heading " << c.Heading;
        EXPECT_EQ(y.GetState().Tack, c.Tack) << "heading " << c.Heading;
    }
}

TEST(CntlYacht, TablesAtEveryBoundary) {
    struct Case {
        int A;
        float Heel, Trimmed, Eased;
    } cases[] = {
        {0, 0, 0, 0},           {39, 0, 0, 0},          {40, 0, 0.03f, 0},
        {41, 0, 0.03f, 0},      {42, 5, 0.08f, 0},      {43, 5, 0.08f, 0},
        {44, 10, 0.10f, 0},     {60, 10, 0.10f, 0},     {61, 8, 0.10f, 0},
        {69, 8, 0.10f, 0},      {70, 8, 0.10f, 0.02f},  {80, 8, 0.10f, 0.02f},
        {81, 8, 0.12f, 0.02f},  {100, 8, 0.12f, 0.02f}, {101, 3, 0.12f, 0.02f},
        {109, 3, 0.12f, 0.02f}, {110, 3, 0.12f, 0.04f}, {114, 3, 0.12f, 0.04f},
        {115, 3, 0.12f, 0.06f}, {119, 3, 0.12f, 0.06f}, {120, 3, 0.12f, 0.08f},
        {121, 3, 0.13f, 0.08f}, {140, 3, 0.13f, 0.08f}, {141, 3, 0.12f, 0.08f},
        {150, 3, 0.12f, 0.08f}, {151, 3, 0.11f, 0.10f}, {180, 3, 0.11f, 0.10f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeelTarget(c.A), c.Heel) << c.A;
        EXPECT_EQ(SpeedTarget(c.A, true), c.Trimmed) << c.A;
        EXPECT_EQ(SpeedTarget(c.A, false), c.Eased) << c.A;
    }
}

TEST(CntlYacht, HeelAndSpeedApproachTheirTargetsFromRest) {
    TCntlYacht y = YachtAt(300);
    const float heels[] = {-2, -4, -6, -8, -10, -10, -10};
    const float speeds[] = {0.02f, 0.04f, 0.06f, 0.08f, 0.10f, 0.10f, 0.10f};
    for (int i = 0; i < 7; ++i) {
        y.Step();
        EXPECT_EQ(y.GetState().Heel, heels[i]) << "step " << i;
        // Bit-exact: the fifth step must land on the single 0.10 itself.
        EXPECT_EQ(y.Speed(), speeds[i]) << "step " << i;
    }
}

TEST(CntlYacht, EasedBeamReachHeelsToStarboardTack) {
    TCntlYacht y = YachtAt(90, false);
    for (int i = 0; i < 10; ++i)
        y.Step();
    EXPECT_EQ(y.GetState().Heel, 8);
    EXPECT_EQ(y.Speed(), 0.02f);
}

TEST(CntlYacht, SpeedDropsBelowTheTargetForOneStepThenReturns) {
    TCntlYacht y = YachtAt(0);
    TYachtState s = y.GetState();
    s.Heading = 41; // |wind angle| 41: trimmed target 0.03
    y.SetState(s);
    y.SetSpeed(0.10f);
    const float expected[] = {0.08f, 0.06f, 0.04f, 0.02f, 0.03f, 0.03f};
    for (float e : expected) {
        y.Step();
        EXPECT_FLOAT_EQ(y.Speed(), e);
    }
}

TEST(CntlYacht, HeadToWindSlowsToRest) {
    TCntlYacht y = YachtAt(0);
    y.SetSpeed(0.05f);
    for (int i = 0; i < 5; ++i)
        y.Step();
    EXPECT_EQ(y.Speed(), 0);
}

TEST(CntlYacht, PositionStopsAtTheEdgeOnEachAxis) {
    TCntlYacht y = YachtAt(90);
    TYachtState s = y.GetState();
    s.X = -1999.95f;
    y.SetState(s);
    y.SetSpeed(0.12f);
    y.Step();
    EXPECT_EQ(y.GetState().X, -2000);
    y.Step();
    EXPECT_EQ(y.GetState().X, -2000);

    // Heading 45: step 4 slows 0.12 to the table's 0.10 before step 5 moves the yacht.
    TCntlYacht d = YachtAt(45);
    s = d.GetState();
    s.X = -2000;
    d.SetState(s);
    d.SetSpeed(0.12f);
    float z = d.GetState().Z;
    for (int i = 0; i < 3; ++i) {
        d.Step();
        EXPECT_EQ(d.GetState().X, -2000);
        EXPECT_NEAR(d.GetState().Z - z, 0.0707f, 1e-4f);
        z = d.GetState().Z;
    }
}

TEST(CntlYacht, SteerTruncatesClampsAndWraps) {
    struct Case {
        float From, Delta, To;
    } cases[] = {{0, 7.9f, 5},
                 {0, 0.9f, 0},
                 {10, -4.7f, 6},
                 {358, 5, 3},
                 {2, -5, 357},
                 {10.9f, 0, 10},
                 {0, -100, 355},
                 {0, std::numeric_limits<float>::quiet_NaN(), 0},
                 {std::numeric_limits<float>::infinity(), 5, 5}};
    for (const Case& c : cases) {
        TCntlYacht y = YachtAt(c.From);
        y.Steer(c.Delta);
        EXPECT_EQ(y.GetState().Heading, c.To) << c.From << " + " << c.Delta;
    }
}

TEST(CntlYacht, SetStateClampsAndKeepsTheRestAsGiven) {
    TCntlYacht y;
    y.SetSpeed(0.07f);
    TYachtState in;
    in.X = 50000;
    in.Z = -50000;
    in.Heading = 1234.5f;
    in.Heel = 60;
    in.WindAngle = -90;
    in.Tack = 7;
    in.SailsTrimmed = 0;
    in.Spinnaker = 1;
    in.Reserved = 0xAB;
    y.SetState(in);
    const TYachtState s = y.GetState();
    EXPECT_EQ(s.X, 32000);
    EXPECT_EQ(s.Z, -32000);
    EXPECT_EQ(s.Heading, 1234.5f);
    EXPECT_EQ(s.Heel, 45);
    EXPECT_EQ(s.WindAngle, 0);
    EXPECT_EQ(s.Tack, 7);
    EXPECT_EQ(s.SailsTrimmed, 0);
    EXPECT_EQ(s.Spinnaker, 1);
    EXPECT_EQ(s.Reserved, 0);
    EXPECT_EQ(y.Speed(), 0.07f);

    y.Step();
    EXPECT_EQ(y.GetState().X, 2000);
    EXPECT_EQ(y.GetState().Z, -2000);
    EXPECT_EQ(y.GetState().Heel, 43); // back toward the table by 2
    EXPECT_EQ(y.GetState().WindAngle, AngleDiff(0, 1234 % 360));
}

TEST(CntlYacht, InfinitiesClampLikeAnyValueAndOnlyNaNCountsAsZero) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float In, X, Heel, WindAngle;
    } cases[] = {
        {inf, 32000, 45, 180},
        {-inf, -32000, -45, 0},
        {nan, 0, 0, 0},
        {3e9f, 32000, 45, 180},
        {-3e9f, -32000, -45, 0},
        {-0.5f, -0.5f, -0.5f, 0},
        {1e-40f, 1e-40f, 1e-40f, 1e-40f},
    };
    for (const Case& c : cases) {
        TYachtState in;
        in.X = in.Z = in.Heel = in.WindAngle = c.In;
        const TYachtState out = ClampYachtState(in);
        EXPECT_EQ(out.X, c.X) << c.In;
        EXPECT_EQ(out.Z, c.X) << c.In;
        EXPECT_EQ(out.Heel, c.Heel) << c.In;
        EXPECT_EQ(out.WindAngle, c.WindAngle) << c.In;
        TCntlYacht y;
        y.SetState(in);
        const TYachtState kept = y.GetState();
        EXPECT_EQ(std::memcmp(&out, &kept, sizeof out), 0) << c.In;
    }
    TCntlYacht y;
    y.Steer(inf);
    EXPECT_EQ(y.GetState().Heading, 5);
    y.Steer(-inf);
    EXPECT_EQ(y.GetState().Heading, 0);
}

TEST(CntlYacht, AnyBitPatternFromTheWireStaysInsideTheWorld) {
    const std::uint32_t patterns[] = {0x7FC00000u, 0xFFC00001u, 0x7F800000u, 0xFF800000u,
                                      0x7F7FFFFFu, 0xFF7FFFFFu, 0x4F000000u, 0xCF000001u,
                                      0x00000001u, 0x80000000u};
    for (std::uint32_t p : patterns) {
        const float f = std::bit_cast<float>(p);
        TYachtState in;
        in.X = in.Z = in.Heading = in.Heel = in.WindAngle = f;
        TCntlYacht y;
        y.SetState(in);
        for (int i = 0; i < 3; ++i) {
            y.Steer(f);
            y.Step();
        }
        const TYachtState s = y.GetState();
        for (float v : {s.X, s.Z, s.Heel, s.WindAngle, s.Heading})
            EXPECT_TRUE(std::isfinite(v)) << std::hex << p;
        EXPECT_LE(std::fabs(s.X), 2000) << std::hex << p;
        EXPECT_LE(std::fabs(s.Z), 2000) << std::hex << p;
        EXPECT_LE(std::fabs(s.Heel), 45) << std::hex << p;
        EXPECT_GE(s.WindAngle, -179);
        EXPECT_LE(s.WindAngle, 180);
    }
}

TEST(CntlYacht, AngleDiffBringsEveryDifferenceIntoRange) {
    EXPECT_EQ(AngleDiff(0, 180), 180);
    EXPECT_EQ(AngleDiff(0, -180), 180);
    EXPECT_EQ(AngleDiff(0, 181), 179);
    EXPECT_EQ(AngleDiff(0, 1), -1);
    EXPECT_EQ(AngleDiff(720, 0), 0);
    EXPECT_EQ(AngleDiff(-539, 0), -179);
    EXPECT_EQ(AngleDiff(std::numeric_limits<std::int32_t>::max(),
                        std::numeric_limits<std::int32_t>::min()),
              AngleDiff(static_cast<std::int32_t>((4294967295LL) % 360), 0));
}

TEST(YachtState, IsTheSameBytesInMemoryAndOnTheWire) {
    TYachtState s;
    s.X = 1.0f;
    s.Tack = 1;
    s.SailsTrimmed = 2;
    s.Spinnaker = 3;
    unsigned char bytes[24];
    std::memcpy(bytes, &s, sizeof s);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[3], 0x3F); // 1.0f little-endian: 00 00 80 3F
    EXPECT_EQ(bytes[2], 0x80);
    EXPECT_EQ(bytes[20], 1);
    EXPECT_EQ(bytes[21], 2);
    EXPECT_EQ(bytes[22], 3);
}
