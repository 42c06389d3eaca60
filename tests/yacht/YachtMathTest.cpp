#include "yacht/YachtMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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

TEST(FractionalVectors, WholeAnglesGiveTheWholeDegreeBitsAndFractionsLieBetween) {
    for (int heading = -400; heading <= 400; heading += 7)
        for (int heel = -45; heel <= 45; heel += 5) {
            float a[2], b[2], u[3], v[3];
            HeadingVector(a[0], a[1], static_cast<float>(heading));
            FractionalHeadingVector(b[0], b[1], static_cast<float>(heading));
            ASSERT_EQ(std::memcmp(a, b, sizeof a), 0) << heading;
            UpVector(u[0], u[1], u[2], static_cast<float>(heel), static_cast<float>(heading));
            FractionalUpVector(v[0], v[1], v[2], static_cast<float>(heel),
                               static_cast<float>(heading));
            ASSERT_EQ(std::memcmp(u, v, sizeof u), 0) << heading << " " << heel;
            // Half a degree on lies between this degree and the next.
            float h0[2], h1[2], half[2];
            HeadingVector(h0[0], h0[1], static_cast<float>(heading));
            HeadingVector(h1[0], h1[1], static_cast<float>(heading + 1));
            FractionalHeadingVector(half[0], half[1], heading + 0.5f);
            for (int i = 0; i < 2; ++i) {
                ASSERT_GE(half[i], std::min(h0[i], h1[i]) - 1e-6f);
                ASSERT_LE(half[i], std::max(h0[i], h1[i]) + 1e-6f);
            }
        }
}
