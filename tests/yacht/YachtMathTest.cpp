#include "yacht/YachtMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(YachtMath, ClampingFollowsMaxOfMin) {
    EXPECT_EQ(ClampF(5, 0, 3), 3);
    EXPECT_EQ(ClampF(-5, 0, 3), 0);
    EXPECT_EQ(ClampF(2, 0, 3), 2);
    EXPECT_EQ(MaxF(1, 2), 2);
    EXPECT_EQ(MinF(1, 2), 1);
}

TEST(YachtMath, TruncDegIsDefinedForEveryFloat) {
    EXPECT_EQ(TruncDeg(10.9f), 10);
    EXPECT_EQ(TruncDeg(-0.9f), 0);
    EXPECT_EQ(TruncDeg(-10.9f), -10);
    EXPECT_EQ(TruncDeg(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(TruncDeg(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(TruncDeg(-std::numeric_limits<float>::infinity()), 0);
    // 2^40 and 3e38 are whole numbers far beyond 32 bits: reduced modulo 360 first.
    EXPECT_EQ(TruncDeg(1099511627776.0f), static_cast<int>(std::fmod(1099511627776.0, 360.0)));
    const int big = TruncDeg(3e38f);
    EXPECT_GT(big, -360);
    EXPECT_LT(big, 360);
}

TEST(YachtMath, HeadingVectorPointsForwardAndTurnsCounterClockwise) {
    float dx, dz;
    HeadingVector(dx, dz, 0);
    EXPECT_FLOAT_EQ(dx, 0);
    EXPECT_FLOAT_EQ(dz, 1);
    HeadingVector(dx, dz, 90);
    EXPECT_FLOAT_EQ(dx, -1);
    EXPECT_NEAR(dz, 0, 1e-7);
    float ax, az, bx, bz;
    HeadingVector(ax, az, 370);
    HeadingVector(bx, bz, 10.9f);
    EXPECT_EQ(ax, bx);
    EXPECT_EQ(az, bz);
}

TEST(YachtMath, RotateDegUsesTheOldCoordinatesForBoth) {
    float x = 1, y = 0;
    RotateDeg(90, x, y);
    EXPECT_NEAR(x, 0, 1e-7);
    EXPECT_FLOAT_EQ(y, 1);
    x = 0, y = 1;
    RotateDeg(-90, x, y); // -90 reduces to 270
    EXPECT_FLOAT_EQ(x, 1);
    EXPECT_NEAR(y, 0, 1e-7);
}

TEST(YachtMath, UpVectorLeansTheMastAwayFromTheWind) {
    float ux, uy, uz;
    UpVector(ux, uy, uz, 0, 123);
    EXPECT_FLOAT_EQ(uy, 1);
    EXPECT_NEAR(ux, 0, 1e-7);
    EXPECT_NEAR(uz, 0, 1e-7);
    UpVector(ux, uy, uz, 90, 0); // heading 0, heel +90: mast along -(cos 0, 0, sin 0)
    EXPECT_FLOAT_EQ(ux, -1);
    EXPECT_NEAR(uy, 0, 1e-7);
    EXPECT_NEAR(uz, 0, 1e-7);
    UpVector(ux, uy, uz, 10, 90);
    EXPECT_NEAR(ux, 0, 1e-7);
    EXPECT_FLOAT_EQ(uy, std::cos(10 * 3.14159265f / 180));
    EXPECT_FLOAT_EQ(uz, -std::sin(10 * 3.14159265f / 180));
}
