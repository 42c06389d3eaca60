// The router shell's library calls made to fail as planned: each way of asking then reports
// that nobody answered, without a datagram leaving this process, and taking back a forwarding
// that cannot be taken back still lets the shell end.
#include "platform/dplay/RouterShell.h"
#include "platform/dplay/DPlay.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace dplay;
using namespace std::chrono_literals;

namespace {

struct TPlannedFailures : ::testing::Test {
    void SetUp() override {
        DirectPlayFailures().Clear();
        DirectPlayFailures().Fail("Router::NatPmp", E_FAIL, 0, -1);
        DirectPlayFailures().Fail("Router::UpnpDiscover", E_FAIL, 0, -1);
        DirectPlayFailures().Fail("Router::Unmap", E_FAIL, 0, -1);
    }
    void TearDown() override { DirectPlayFailures().Clear(); }

    std::mutex Lock;
    std::condition_variable Done;
    std::vector<TRouterAnswer> Answers;

    TRouterShell::TAnswered Collect() {
        return [this](const TRouterAnswer& A) {
            std::lock_guard<std::mutex> g(Lock);
            Answers.push_back(A);
            Done.notify_all();
        };
    }
    bool WaitFor(std::size_t Count) {
        std::unique_lock<std::mutex> g(Lock);
        return Done.wait_for(g, 5s, [&] { return Answers.size() >= Count; });
    }
};

TEST_F(TPlannedFailures, EachWayOfAskingThatFailsReportsNoAnswer) {
    TRouterShell shell(Collect());
    const std::vector<TForwardedPort> ports{{29540, 29540}, {41000, 41000}};
    for (const TRouterMethod m : {TRouterMethod::NatPmp, TRouterMethod::Upnp})
        shell.Carry(TRouterMapAction{m, ports, 60s, false});
    ASSERT_TRUE(WaitFor(2));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Answers[i].Result, TRouterAnswer::NoAnswer);
        EXPECT_TRUE(Answers[i].Ports.empty());
    }
    EXPECT_EQ(Answers[0].Method, TRouterMethod::NatPmp);
    EXPECT_EQ(Answers[1].Method, TRouterMethod::Upnp);
}

// Together with the core: the player is told that no router answered, and the end of the
// session waits for nothing.
TEST_F(TPlannedFailures, TheCoreHearsNoRouterAndFinishes) {
    TRouterCore core;
    {
        TRouterShell shell(Collect());
        core.Start(29540, 41000, {});
        for (int round = 0; round < 2; ++round) {
            for (auto& a : core.TakeActions())
                shell.Carry(a);
            ASSERT_TRUE(WaitFor(static_cast<std::size_t>(round + 1)));
            core.Answered(Answers[static_cast<std::size_t>(round)], {});
        }
        bool told = false;
        for (auto& a : core.TakeActions())
            if (auto* n = std::get_if<TRouterNoticeAction>(&a))
                told = n->Notice.Kind == TRouterNotice::NoRouter;
        EXPECT_TRUE(told);
        core.Stop();
        for (auto& a : core.TakeActions())
            shell.Carry(a);
        shell.Carry(TRouterUnmapAction{TRouterMethod::NatPmp, {{29540, 29540}}});
    }
    EXPECT_TRUE(core.Finished());
}

} // namespace
