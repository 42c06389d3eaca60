#include "yacht/SailTrim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

TYachtState State(float WindAngle, bool Trimmed) {
    TYachtState s;
    s.WindAngle = WindAngle;
    s.Tack = WindAngle < 0 ? 1 : 0;
    s.SailsTrimmed = Trimmed ? 1 : 0;
    return s;
}

constexpr int kOdd = 1, kEven = 2; // frames with no luffing and with luffing of every kind

double Rad(double Degrees) {
    return Degrees * std::numbers::pi / 180;
}

} // namespace

TEST(SailTrim, TheEdgeCasesOfEachSettingAndTack) {
    struct Case {
        float Wind;
        bool Trimmed;
        float Main;
        int MainOdd, MainEven;
        float Jib;
        int JibOdd, JibEven;
        float Spinnaker;
    };
    const Case cases[] = {
        // Close-hauled, trimmed: boom on the centre line, the jib luffs on even frames.
        {30, true, 0, 0, 0, 20, 0, 3, -45},
        {-30, true, 0, 1, 1, -20, 3, 0, 45},
        // A broad reach on port tack, trimmed: both sails out to 70, the fullest jib.
        {-150, true, -70, 1, 1, -70, 5, 5, 30},
        {150, true, 70, 0, 0, 70, 2, 2, -30},
        // Dead before the wind, eased: nothing luffs and the spinnaker stands square.
        {180, false, 70, 0, 0, 110, 2, 2, 0},
        // Eased close to the wind: main and jib both luff.
        {60, false, 60, 0, 1, 60, 0, 3, -45},
        {-60, false, -60, 1, 0, -60, 3, 0, 45},
        // Head to wind, trimmed: the main luffs too.
        {5, true, 0, 0, 1, 5, 0, 3, -45},
        {5.5f, true, 0, 0, 0, 5.5f, 0, 3, -45},
        {75, false, 70, 0, 1, 75, 0, 3, -45},
        {76, false, 70, 0, 0, 76, 0, 3, -45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "wind " << c.Wind << (c.Trimmed ? " trimmed" : " eased"));
        const TYachtState s = State(c.Wind, c.Trimmed);
        EXPECT_FLOAT_EQ(MainTrim(s, kOdd).Angle, c.Main);
        EXPECT_EQ(MainTrim(s, kOdd).Variant, c.MainOdd);
        EXPECT_EQ(MainTrim(s, kEven).Variant, c.MainEven);
        EXPECT_FLOAT_EQ(JibTrim(s, kOdd).Angle, c.Jib);
        EXPECT_EQ(JibTrim(s, kOdd).Variant, c.JibOdd);
        EXPECT_EQ(JibTrim(s, kEven).Variant, c.JibEven);
        EXPECT_FLOAT_EQ(SpinnakerTrim(s).Angle, c.Spinnaker);
        EXPECT_EQ(SpinnakerTrim(s).Variant, 0);
    }
}

TEST(SailTrim, SailAnglesFollowTheWindWithinTheirLimits) {
    struct Case {
        float Wind;
        bool Trimmed;
        float Main, Jib;
    };
    const Case cases[] = {
        {0, true, 0, 0},       {10, true, 0, 10},     {20, true, 0, 20},     {40, true, 0, 20},
        {50, true, 10, 20},    {60, true, 20, 20},    {80, true, 40, 40},    {110, true, 70, 70},
        {179, true, 70, 70},   {0, false, 0, 0},      {45, false, 45, 45},   {70, false, 70, 70},
        {100, false, 70, 100}, {110, false, 70, 110}, {170, false, 70, 110},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "wind " << c.Wind << (c.Trimmed ? " trimmed" : " eased"));
        EXPECT_FLOAT_EQ(MainTrim(State(c.Wind, c.Trimmed), 1).Angle, c.Main);
        EXPECT_FLOAT_EQ(JibTrim(State(c.Wind, c.Trimmed), 1).Angle, c.Jib);
        if (c.Wind != 0) {
            EXPECT_FLOAT_EQ(MainTrim(State(-c.Wind, c.Trimmed), 1).Angle, -c.Main);
            EXPECT_FLOAT_EQ(JibTrim(State(-c.Wind, c.Trimmed), 1).Angle, -c.Jib);
        }
    }
}

TEST(SailTrim, JibShapeThresholdsOnWholeDegrees) {
    struct Case {
        float Wind;
        bool Trimmed;
        int Shape;
    };
    const Case cases[] = {
        {60, true, 0},   {60.9f, true, 0}, {61, true, 1},   {140.9f, true, 1},
        {141, true, 2},  {180, true, 2},   {110, false, 0}, {110.9f, false, 0},
        {111, false, 1}, {119, false, 1},  {120, false, 2}, {0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "wind " << c.Wind << (c.Trimmed ? " trimmed" : " eased"));
        EXPECT_EQ(JibShape(State(c.Wind, c.Trimmed)), c.Shape);
        EXPECT_EQ(JibShape(State(-c.Wind, c.Trimmed)), c.Wind != 0 ? c.Shape + 3 : c.Shape);
    }
}

TEST(SailTrim, TheJibLuffsLessOftenAsTheWindComesAft) {
    // Every: on which frames (FrameCounter mod Every == 0) the jib flips; 0 for never.
    struct Case {
        float Wind;
        bool Trimmed;
        int Every;
    };
    const Case cases[] = {
        {39.9f, true, 2},   {40, true, 5},   {41, true, 5},      {41.9f, true, 5},
        {42, true, 0},      {90, true, 0},   {109.9f, false, 2}, {110, false, 3},
        {114.9f, false, 3}, {115, false, 6}, {119.9f, false, 6}, {120, false, 0},
        {180, false, 0},
    };
    for (const Case& c : cases) {
        for (const float wind : {c.Wind, -c.Wind}) {
            const TYachtState s = State(wind, c.Trimmed);
            const int shape = JibShape(s);
            for (int frame = 0; frame <= 1000; ++frame) {
                const bool flips = c.Every != 0 && frame % c.Every == 0;
                ASSERT_EQ(JibTrim(s, frame).Variant, flips ? (shape + 3) % 6 : shape)
                    << "wind " << wind << (c.Trimmed ? " trimmed" : " eased") << ", frame "
                    << frame;
            }
        }
    }
}

TEST(SailTrim, TheCounterWrapGivesTwoEvenFramesInARow) {
    const TYachtState s = State(30, true); // the jib luffs on every even frame
    const int frames[] = {999, 1000, 0, 1};
    const int expected[] = {0, 3, 3, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(JibTrim(s, frames[i]).Variant, expected[i]) << "frame " << frames[i];
    const TYachtState eased = State(60, false); // and so does the main sail
    const int main[] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MainTrim(eased, frames[i]).Variant, main[i]) << "frame " << frames[i];
}

TEST(SailTrim, AnglesBecomeDirectionsInWholeDegreesTowardZero) {
    // Main and jib swing their aft end to starboard (+x) for a positive angle, so the frame's
    // z axis turns to -x; the spinnaker flies forward and swings the other way.
    const TSailPose main = MainTrim(State(60, false), 1);
    EXPECT_NEAR(main.DX, -std::sin(Rad(60)), 1e-6);
    EXPECT_FLOAT_EQ(main.DY, 0);
    EXPECT_NEAR(main.DZ, std::cos(Rad(60)), 1e-6);

    const TSailPose jib = JibTrim(State(-80.7f, true), 1); // -40.7 truncates to -40
    EXPECT_NEAR(jib.DX, std::sin(Rad(40)), 1e-6);
    EXPECT_NEAR(jib.DZ, std::cos(Rad(40)), 1e-6);
    EXPECT_NEAR(jib.DY, 0.34 * std::cos(Rad(40)), 1e-6);

    const TSailPose spinnaker = SpinnakerTrim(State(-150, true));
    EXPECT_NEAR(spinnaker.DX, -0.5, 1e-6);
    EXPECT_NEAR(spinnaker.DZ, std::cos(Rad(30)), 1e-6);

    // -0.5 degrees truncates to 0, not to -1.
    const TSailPose small = JibTrim(State(-0.5f, false), 1);
    EXPECT_FLOAT_EQ(small.Angle, -0.5f);
    EXPECT_EQ(small.DX, 0);
    EXPECT_EQ(small.DZ, 1);
}
