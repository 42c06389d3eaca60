// The pose drawn between steps, driven by a clock the test moves: where the placed yacht may be
// at every drawn time, that it meets each step exactly, and that a state from the yacht's owner
// eases in without a jump.
#include "yacht/ShownYacht.h"
#include "yacht/CntlYacht.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kStepMs = 200;

bool SameBits(const TYachtState& A, const TYachtState& B) {
    return std::memcmp(&A, &B, sizeof A) == 0;
}

// The shorter turn from A to B, in -180..180.
float TurnBetween(float A, float B) {
    return std::remainder(B - A, 360.0f);
}

// The helm of a scripted minute: bears away through north, comes up through the wind onto the
// other tack, and eases and trims the sails, so headings wrap and the tack changes.
float HelmAt(int Step) {
    const int phase = (Step / 15) % 4;
    return phase == 0 ? -5.0f : phase == 2 ? 5.0f : 0.0f;
}

// The frame loop of the game, reduced to its clock: an accumulator of milliseconds that takes a
// step each time it holds more than a period, and a picture at every tick it is driven by.
struct TDrivenLoop {
    std::uint32_t Now = 5000;
    std::uint32_t Accumulator = 0;
    int Steps = 0;
    TCntlYacht Model;
    TShownYacht Shown;

    TDrivenLoop() {
        Model.SetSpeed(0.1f);
        Shown.Reset(Model.GetState());
    }
    float Part() const { return static_cast<float>(Accumulator) / kStepMs; }
    // Moves the clock by Ms; returns whether a step was taken.
    bool Advance(std::uint32_t Ms) {
        Now += Ms;
        Accumulator += Ms;
        bool stepped = false;
        while (kStepMs < Accumulator) {
            Accumulator -= kStepMs;
            Model.Step();
            Shown.Step(Model.GetState());
            Model.Steer(HelmAt(Steps));
            ++Steps;
            stepped = true;
        }
        return stepped;
    }
};

TEST(ShownYacht, BlendMeetsBothEndsToTheBit) {
    std::mt19937 random(25);
    std::uniform_real_distribution<float> place(-2000, 2000), angle(0, 360), heel(-45, 45),
        wind(-179, 180);
    for (int i = 0; i < 2000; ++i) {
        alignas(4) TYachtState a, b;
        a.X = place(random), a.Z = place(random), a.Heading = angle(random);
        a.Heel = heel(random), a.WindAngle = wind(random), a.Tack = i % 2;
        b.X = place(random), b.Z = place(random), b.Heading = angle(random);
        b.Heel = heel(random), b.WindAngle = wind(random), b.Spinnaker = 1, b.SailsTrimmed = 1;
        ASSERT_TRUE(SameBits(BlendYachtStates(a, b, 0), a));
        ASSERT_TRUE(SameBits(BlendYachtStates(a, b, 1), b));
        ASSERT_TRUE(SameBits(BlendYachtStates(a, b, std::nanf("")), a));
        alignas(4) const TYachtState m = BlendYachtStates(a, b, 0.5f);
        ASSERT_GE(m.Heading, 0);
        ASSERT_LT(m.Heading, 360);
        ASSERT_GE(m.WindAngle, -180);
        ASSERT_LE(m.WindAngle, 180);
    }
}

TEST(ShownYacht, TurnsTheShorterWayRound) {
    struct TCase {
        float From, To, Half;
    };
    const TCase cases[] = {{355, 5, 0}, {5, 355, 0}, {90, 100, 95}, {350, 10, 0}, {0, 180, 90}};
    for (const TCase& c : cases) {
        alignas(4) TYachtState a, b;
        a.Heading = c.From;
        b.Heading = c.To;
        const float h = BlendYachtStates(a, b, 0.5f).Heading;
        EXPECT_NEAR(std::remainder(h - c.Half, 360.0f), 0, 1e-4) << c.From << " to " << c.To;
    }
}

// A minute of sailing drawn at uneven times (1 to 37 ms apart, and every whole step time).
TEST(ShownYacht, EveryDrawnPoseLiesBetweenTheTwoStepsAndMeetsEachStepOnTime) {
    TDrivenLoop loop;
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> tick(1, 37);
    int metSteps = 0;
    while (loop.Steps < 300) {
        // Land exactly on the whole period now and then: the moment the pose must be the step.
        std::uint32_t ms = tick(random);
        if (loop.Accumulator < kStepMs && loop.Accumulator + ms > kStepMs)
            ms = kStepMs - loop.Accumulator;
        loop.Advance(ms);
        const float part = loop.Part();
        alignas(4) const TYachtState a = loop.Shown.Previous();
        alignas(4) const TYachtState b = loop.Shown.Last();
        alignas(4) const TYachtState p = loop.Shown.Pose(part, loop.Now);
        if (loop.Accumulator == kStepMs) {
            ASSERT_TRUE(SameBits(p, b));
            ++metSteps;
        }
        if (loop.Accumulator == 0) {
            ASSERT_TRUE(SameBits(p, a));
        }
        ASSERT_GE(p.X, std::min(a.X, b.X));
        ASSERT_LE(p.X, std::max(a.X, b.X));
        ASSERT_GE(p.Z, std::min(a.Z, b.Z));
        ASSERT_LE(p.Z, std::max(a.Z, b.Z));
        ASSERT_GE(p.Heel, std::min(a.Heel, b.Heel));
        ASSERT_LE(p.Heel, std::max(a.Heel, b.Heel));
        // On the short arc from a to b, the part of the way the clock says.
        const float arc = TurnBetween(a.Heading, b.Heading);
        const float done = TurnBetween(a.Heading, p.Heading);
        ASSERT_NEAR(done, arc * part, 1e-3) << "at step " << loop.Steps;
    }
    EXPECT_GT(metSteps, 250);
}

// Two machines: the owner steers; this machine steps its copy on the last course it heard and
// takes the owner's state once a second, drawing at 60 pictures a second in between.
TEST(ShownYacht, AReceivedStateBlendsInWithoutAJumpLargerThanAStepMoves) {
    TDrivenLoop copy;
    TCntlYacht owner;
    owner.SetSpeed(0.1f);
    std::uint32_t sinceState = 0;
    alignas(4) TYachtState before = copy.Shown.Pose(0, copy.Now);
    int replaced = 0, eased = 0;
    for (int picture = 0; picture < 60 * 60; ++picture) {
        const std::uint32_t ms = picture % 3 == 0 ? 16 : 17;
        const int stepsBefore = copy.Steps;
        copy.Advance(ms);
        for (int s = stepsBefore; s < copy.Steps; ++s) {
            owner.Step();
            // The owner turns twice as often as the copy hears of it.
            owner.Steer(HelmAt(s) * 2);
        }
        sinceState += ms;
        if (sinceState >= 1000) {
            sinceState -= 1000;
            alignas(4) const TYachtState shown = copy.Shown.Pose(copy.Part(), copy.Now);
            copy.Model.SetState(owner.GetState());
            copy.Shown.Replace(copy.Model.GetState(), copy.Part(), copy.Now);
            // Taking the state moves nothing at that instant.
            alignas(4) const TYachtState after = copy.Shown.Pose(copy.Part(), copy.Now);
            ASSERT_NEAR(after.X, shown.X, 1e-3);
            ASSERT_NEAR(after.Z, shown.Z, 1e-3);
            ASSERT_NEAR(TurnBetween(shown.Heading, after.Heading), 0, 1e-3);
            ASSERT_NEAR(after.Heel, shown.Heel, 1e-3);
            ++replaced;
            eased += copy.Shown.CorrectionLength() > 0;
        }
        alignas(4) const TYachtState p = copy.Shown.Pose(copy.Part(), copy.Now);
        ASSERT_LE(std::hypot(p.X - before.X, p.Z - before.Z), kStepDistanceLimit)
            << "picture " << picture;
        ASSERT_LE(std::fabs(TurnBetween(before.Heading, p.Heading)), kStepTurnLimit);
        ASSERT_LE(std::fabs(p.Heel - before.Heel), kStepHeelLimit);
        before = p;
    }
    EXPECT_EQ(replaced, 60);
    EXPECT_GT(eased, 30);
}

TEST(ShownYacht, ACorrectionShrinksSteadilyAndEndsOnTheNewCourse) {
    struct TCase {
        float DX, DHeading; // how far the owner's state is from this machine's
    };
    const TCase cases[] = {{0.05f, 0}, {0.5f, 0}, {3, 0}, {0, 20}, {40, 0}, {0.3f, -90}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.DX << ", " << c.DHeading);
        TShownYacht shown;
        alignas(4) TYachtState s;
        s.Heading = 10;
        shown.Reset(s);
        alignas(4) TYachtState owner = s;
        owner.X += c.DX;
        owner.Heading = std::fmod(owner.Heading + c.DHeading + 360, 360.0f);
        shown.Replace(owner, 0.5f, 1000);
        const std::uint32_t length = shown.CorrectionLength();
        EXPECT_GE(length, kCorrectionMinMs);
        EXPECT_LE(length, kCorrectionMaxMs);
        float last = 1e9f;
        for (std::uint32_t t = 0; t <= length + 20; t += 5) {
            alignas(4) const TYachtState p = shown.Pose(0.5f, 1000 + t);
            const float off = std::hypot(p.X - owner.X, p.Z - owner.Z) +
                              std::fabs(TurnBetween(owner.Heading, p.Heading));
            // Never beyond where it was shown or where it is going.
            ASSERT_LE(off, last + 1e-4f);
            ASSERT_LE(p.X, std::max(s.X, owner.X) + 1e-4f);
            ASSERT_GE(p.X, std::min(s.X, owner.X) - 1e-4f);
            last = off;
        }
        EXPECT_TRUE(SameBits(shown.Pose(0.5f, 1000 + length), owner));
    }
}

TEST(ShownYacht, TheFirstStateOfAYachtIsShownAsItIs) {
    TShownYacht shown;
    alignas(4) TYachtState s;
    s.X = 300;
    s.Heading = 45;
    shown.Replace(s, 0.3f, 77);
    EXPECT_TRUE(SameBits(shown.Pose(0.3f, 77), s));
    EXPECT_EQ(shown.CorrectionLength(), 0u);
}

} // namespace
