// Where a machine punches, on a simulated clock that ticks at uneven steps as a busy game loop
// does: joiners for a few seconds each and only a few at once, members now and then, and never
// more traffic than that however many requests the lobby brings.
#include "platform/dplay/PunchPlan.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

using namespace dplay;
using namespace std::chrono_literals;
using TPlan = TPunchPlan;

namespace {

const TTime kStart = TTime{} + 1h;

TAddress At(std::uint32_t Ip, std::uint16_t Port = 7000) {
    return {htonl(Ip), Port};
}

struct TPunches {
    std::vector<std::pair<TTime, TAddress>> All;
    std::vector<TTime> To(TAddress A) const {
        std::vector<TTime> out;
        for (const auto& [t, a] : All)
            if (a == A)
                out.push_back(t);
        return out;
    }
};

// Ticks Plan for 20 s at steps of 1 to 40 ms; Before runs before every tick.
TPunches Play(TPlan& Plan, unsigned Seed, const std::function<void(TTime)>& Before = {}) {
    std::mt19937 rng(Seed);
    TPunches p;
    for (TTime now = kStart; now < kStart + 20s;
         now += std::chrono::milliseconds(std::uniform_int_distribution(1, 40)(rng))) {
        if (Before)
            Before(now);
        for (const TAddress& a : Plan.Due(now))
            p.All.emplace_back(now, a);
    }
    return p;
}

void ExpectEvery(const std::vector<TTime>& Times, std::chrono::milliseconds Every) {
    for (std::size_t i = 1; i < Times.size(); ++i)
        EXPECT_TRUE(Times[i] - Times[i - 1] >= Every && Times[i] - Times[i - 1] < Every + 41ms);
}

} // namespace

TEST(PunchPlan, ARequestIsPunchedForItsTimeThenStops) {
    constexpr std::size_t kTimes = TPlan::kRequestTime / TPlan::kRequestEvery;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        ASSERT_TRUE(plan.Requested(At(0x5DB8D822), kStart));
        const auto times = Play(plan, seed).To(At(0x5DB8D822));
        EXPECT_LE(times.size(), kTimes);
        EXPECT_GE(times.size(), kTimes * 200 / 240);
        EXPECT_LT(times.back(), kStart + TPlan::kRequestTime);
        ExpectEvery(times, TPlan::kRequestEvery);
    }
}

TEST(PunchPlan, OnlyAFewRequestsAtOnceAndARepeatKeepsOnlyItsOwnGoing) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        for (std::uint32_t i = 1; i <= TPlan::kMaxRequests; ++i)
            ASSERT_TRUE(plan.Requested(At(0x5DB8D800 + i), kStart));
        EXPECT_FALSE(plan.Requested(At(0x5DB8D8FF), kStart));
        const auto p = Play(plan, seed, [&](TTime Now) {
            if (Now < kStart + 3s) {
                EXPECT_FALSE(plan.Requested(At(0x5DB8D8FF), Now));
            } else if (Now < kStart + 3s + 40ms) {
                EXPECT_TRUE(plan.Requested(At(0x5DB8D801), Now));
            }
        });
        EXPECT_GE(p.To(At(0x5DB8D801)).back(), kStart + 7s);
        for (std::uint32_t i = 2; i <= TPlan::kMaxRequests; ++i)
            EXPECT_LT(p.To(At(0x5DB8D800 + i)).back(), kStart + TPlan::kRequestTime);
        EXPECT_TRUE(p.To(At(0x5DB8D8FF)).empty());
    }
}

TEST(PunchPlan, MembersArePunchedNowAndThenUntilTheyLeaveAndNobodyImplausibleIs) {
    const std::vector<TAddress> implausible = {At(0x00000001), At(0x7F000001), At(0xE0000001),
                                               At(0xFFFFFFFF), At(0x5DB8D822, 0)};
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        for (const TAddress& a : implausible)
            EXPECT_FALSE(plan.Requested(a, kStart));
        std::vector<TAddress> members = implausible;
        members.insert(members.end(), {At(0x0A000001), At(0x5DB8D822)});
        const auto p = Play(plan, seed, [&](TTime Now) {
            plan.Members(members);
            if (Now >= kStart + 12s && members.back() == At(0x5DB8D822))
                members.pop_back();
        });
        const auto stays = p.To(At(0x0A000001)), leaves = p.To(At(0x5DB8D822));
        EXPECT_EQ(stays.size(), std::size_t(20s / TPlan::kMemberEvery));
        ExpectEvery(stays, TPlan::kMemberEvery);
        EXPECT_EQ(leaves.size(), 3u);
        for (const TAddress& a : implausible)
            EXPECT_TRUE(p.To(a).empty());
    }
}

TEST(PunchPlan, AFloodOfRequestsCausesNoMoreThanAFewPunchesASecond) {
    constexpr std::size_t kMembers = 3;
    constexpr std::size_t kPerSecond =
        TPlan::kMaxRequests * std::size_t(1s / TPlan::kRequestEvery) + kMembers;
    for (unsigned seed = 1; seed <= 5; ++seed) {
        TPlan plan;
        std::uint32_t next = 0x5DB80000;
        plan.Members({At(0x0A000001), At(0x0A000002), At(0x0A000003)});
        const auto p = Play(plan, seed, [&](TTime Now) {
            for (int i = 0; i < 40; ++i) // 1000 a second or more, each from its own address
                plan.Requested(At(++next), Now);
        });
        EXPECT_LE(p.All.size(), 20 * kPerSecond);
        // Within any one second a request's place, once free, may be taken and punched at once.
        for (TTime from = kStart; from < kStart + 19s; from += 100ms) {
            const auto in = std::count_if(p.All.begin(), p.All.end(), [&](const auto& e) {
                return e.first >= from && e.first < from + 1s;
            });
            EXPECT_LE(std::size_t(in), kPerSecond + TPlan::kMaxRequests);
        }
    }
}
