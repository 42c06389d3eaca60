// Where a machine punches, on a clock that ticks at uneven steps as a busy game loop does.
#include "platform/dplay/PunchPlan.h"

#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace dplay;
using namespace std::chrono_literals;
using TPlan = TPunchPlan;

const TTime kStart = TTime{} + 1h;
using TPunches = std::vector<std::pair<TTime, TAddress>>;

static TAddress At(std::uint32_t Ip, std::uint16_t Port = 7000) {
    return {htonl(Ip), Port};
}

// 20 s of ticks 1 to 40 ms apart, each after Before.
static TPunches Play(TPlan& Plan, unsigned Seed, const std::function<void(TTime)>& Before) {
    std::mt19937 rng(Seed);
    TPunches p;
    for (TTime now = kStart; now < kStart + 20s; now += 1ms * (1 + rng() % 40)) {
        Before(now);
        for (const TAddress& a : Plan.Due(now))
            p.emplace_back(now, a);
    }
    return p;
}

// When A was punched, checking that it was every Every, give or take a tick.
static std::vector<TTime> To(const TPunches& P, TAddress A, std::chrono::milliseconds Every) {
    std::vector<TTime> out;
    for (const auto& [t, a] : P)
        if (a == A)
            out.push_back(t);
    for (std::size_t i = 1; i < out.size(); ++i)
        EXPECT_TRUE(out[i] - out[i - 1] >= Every && out[i] - out[i - 1] < Every + 40ms);
    return out;
}

TEST(PunchPlan, OnlyAFewRequestsAtOnceEachForItsTimeAndARepeatKeepsOnlyItsOwnGoing) {
    constexpr std::size_t kTimes = TPlan::kRequestTime / TPlan::kRequestEvery;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        for (std::uint32_t i = 1; i <= TPlan::kMaxRequests; ++i)
            ASSERT_TRUE(plan.Requested(At(0x5DB8D800 + i), kStart));
        const auto p = Play(plan, seed, [&](TTime Now) {
            if (Now < kStart + 3s + 40ms) { // refused while four run; the first goes on
                EXPECT_EQ(plan.Requested(Now < kStart + 3s ? At(0x5DB8D8FF) : At(0x5DB8D801), Now),
                          Now >= kStart + 3s);
            }
        });
        EXPECT_GE(To(p, At(0x5DB8D801), TPlan::kRequestEvery).back(), kStart + 7s);
        for (std::uint32_t i = 2; i <= TPlan::kMaxRequests; ++i) {
            const auto times = To(p, At(0x5DB8D800 + i), TPlan::kRequestEvery);
            EXPECT_TRUE(times.size() <= kTimes && times.size() >= kTimes * 200 / 240);
            EXPECT_LT(times.back(), kStart + TPlan::kRequestTime);
        }
        EXPECT_TRUE(To(p, At(0x5DB8D8FF), 0ms).empty());
    }
}

// Members are punched now and then, whatever the lobby brings, until they leave; and however
// many ask, only a few are punched at once.
TEST(PunchPlan, AFloodOfRequestsCausesAFewPunchesASecondAndMembersKeepTheirs) {
    constexpr std::size_t kPerSecond = TPlan::kMaxRequests * (1s / TPlan::kRequestEvery) + 2;
    const std::vector<TAddress> implausible = {At(1), At(0x7F000001), At(0xE0000001),
                                               At(0xFFFFFFFF), At(0x5DB8D822, 0)};
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        std::uint32_t next = 0x5DB80000;
        std::vector<TAddress> members = implausible;
        members.insert(members.end(), {At(0x0A000001), At(0x0A000002)});
        const auto p = Play(plan, seed, [&](TTime Now) {
            for (const TAddress& a : implausible)
                EXPECT_FALSE(plan.Requested(a, Now));
            for (int i = 0; i < 40; ++i) // 1000 a second or more, each from its own address
                plan.Requested(At(++next), Now);
            plan.Members(members);
            if (Now >= kStart + 12s && members.back() == At(0x0A000002))
                members.pop_back();
        });
        EXPECT_EQ(To(p, At(0x0A000001), TPlan::kMemberEvery).size(), 20s / TPlan::kMemberEvery);
        EXPECT_EQ(To(p, At(0x0A000002), TPlan::kMemberEvery).size(), 3u);
        for (const TAddress& a : implausible)
            EXPECT_TRUE(To(p, a, 0ms).empty());
        // Within one second a request's place, once free, may be taken and punched at once.
        for (std::size_t i = 0, j = 0; i < p.size(); ++i) {
            while (p[i].first - p[j].first >= 1s)
                ++j;
            EXPECT_LE(i - j + 1, kPerSecond + TPlan::kMaxRequests);
        }
    }
}
