// The router decisions without a router: a pretend router answers each request the way a test
// case says, and the tests check what the player is told, what is renewed and that every
// forwarding the router ever held is taken back.
#include "platform/dplay/RouterCore.h"
#include "platform/dplay/SessionSearch.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <map>
#include <random>

using namespace dplay;
using namespace std::chrono_literals;

namespace {

std::uint32_t Ip(const char* Text) {
    in_addr a{};
    inet_pton(AF_INET, Text, &a);
    return a.s_addr;
}

// How a pretend router answers one way of asking.
struct TBehaviour {
    TRouterAnswer::TResult Result = TRouterAnswer::NoAnswer;
    const char* PublicIp = nullptr;
    std::uint16_t Shift = 0; // external port = internal + Shift
    bool OutsideUnusable = false;
};

// A router that holds forwardings as a set, so that a test can see what is left behind.
struct TPretendRouter {
    std::map<TRouterMethod, TBehaviour> Ways;
    std::map<std::pair<TRouterMethod, std::uint16_t>, std::uint16_t> Held; // -> external
    int Renewals = 0;
    bool FailRenewals = false;

    TRouterAnswer Carry(const TRouterMapAction& A) {
        const TBehaviour b = Ways[A.Method];
        TRouterAnswer r{A.Method, b.Result, b.PublicIp ? Ip(b.PublicIp) : 0, b.OutsideUnusable, {}};
        if (A.Renewal) {
            ++Renewals;
            if (FailRenewals)
                r.Result = TRouterAnswer::NoAnswer;
        }
        if (r.Result != TRouterAnswer::Mapped)
            return r;
        for (const auto& p : A.Ports) {
            const std::uint16_t ext =
                A.Renewal ? p.External : static_cast<std::uint16_t>(p.Internal + b.Shift);
            Held[{A.Method, p.Internal}] = ext;
            r.Ports.push_back({p.Internal, ext});
        }
        return r;
    }

    void Carry(const TRouterUnmapAction& A) {
        for (const auto& p : A.Ports)
            Held.erase({A.Method, p.Internal});
    }
};

// Runs the core against the router: requests are answered in order, one at a time, as the
// shell does; notices are collected.
struct TRig {
    explicit TRig(std::chrono::seconds Lease = TRouterCore::kDefaultLease) : Core(Lease) {}

    TRouterCore Core;
    TPretendRouter Router;
    std::vector<TRouterMapAction> Pending;
    std::vector<TRouterNotice> Told;
    TRouterTime Now{};

    void Collect() {
        for (auto& a : Core.TakeActions()) {
            if (auto* m = std::get_if<TRouterMapAction>(&a))
                Pending.push_back(*m);
            else if (auto* u = std::get_if<TRouterUnmapAction>(&a))
                Router.Carry(*u);
            else
                Told.push_back(std::get<TRouterNoticeAction>(a).Notice);
        }
    }
    // Answers what is waiting; false when nothing was.
    bool AnswerOne() {
        Collect();
        if (Pending.empty())
            return false;
        const auto request = Pending.front();
        Pending.erase(Pending.begin());
        Core.Answered(Router.Carry(request), Now);
        Collect();
        return true;
    }
    void AnswerAll() {
        for (int i = 0; i < 10 && AnswerOne(); ++i) {
        }
    }
    void Pass(std::chrono::seconds T) {
        Now += T;
        Core.Tick(Now);
        AnswerAll();
    }
};

constexpr std::uint16_t kQuery = 29540;
constexpr std::uint16_t kSession = 41000;

TEST(RouterCore, EachRouterTellsThePlayerItsOwnCaseAndOnlyOnce) {
    using R = TRouterAnswer;
    const TBehaviour silent{R::NoAnswer, nullptr, 0};
    const struct TCase {
        const char* Name;
        TBehaviour NatPmp, Upnp;
        TRouterNotice::TKind Told;
        const char* Address;
        std::uint16_t QueryOutside;
    } cases[] = {
        {"NAT-PMP forwards",
         {R::Mapped, "11.0.0.11", 0},
         silent,
         TRouterNotice::Open,
         "11.0.0.11",
         kQuery},
        {"NAT-PMP forwards elsewhere",
         {R::Mapped, "11.0.0.11", 7},
         silent,
         TRouterNotice::Open,
         "11.0.0.11",
         kQuery + 7},
        {"only UPnP forwards",
         silent,
         {R::Mapped, "11.0.0.12", 0},
         TRouterNotice::Open,
         "11.0.0.12",
         kQuery},
        {"NAT-PMP refuses, UPnP forwards",
         {R::Refused, "11.0.0.12", 0},
         {R::Mapped, "11.0.0.12", 0},
         TRouterNotice::Open,
         "11.0.0.12",
         kQuery},
        {"nobody answers", silent, silent, TRouterNotice::NoRouter, "0.0.0.0", kQuery},
        {"both refuse",
         {R::Refused, nullptr, 0},
         {R::Refused, nullptr, 0},
         TRouterNotice::Refused,
         "0.0.0.0",
         kQuery},
        {"UPnP refuses",
         silent,
         {R::Refused, "11.0.0.13", 0},
         TRouterNotice::Refused,
         "0.0.0.0",
         kQuery},
        {"shared outside, refused",
         {R::Refused, "100.64.0.7", 0},
         {R::Refused, nullptr, 0},
         TRouterNotice::PrivateOutside,
         "100.64.0.7",
         kQuery},
        {"private outside, forwarded",
         {R::Mapped, "192.168.0.2", 0},
         silent,
         TRouterNotice::PrivateOutside,
         "192.168.0.2",
         kQuery},
        {"shared outside by UPnP only",
         silent,
         {R::Refused, "100.127.255.1", 0},
         TRouterNotice::PrivateOutside,
         "100.127.255.1",
         kQuery},
        {"outside unfit, unnamed",
         {R::Refused, nullptr, 0, true},
         {R::Refused, nullptr, 0, true},
         TRouterNotice::PrivateOutside,
         "0.0.0.0",
         kQuery},
        {"forwarded, outside unnamed",
         silent,
         {R::Mapped, nullptr, 0, true},
         TRouterNotice::PrivateOutside,
         "0.0.0.0",
         kQuery},
    };
    for (const auto& c : cases) {
        TRig rig;
        rig.Router.Ways = {{TRouterMethod::NatPmp, c.NatPmp}, {TRouterMethod::Upnp, c.Upnp}};
        rig.Core.Start(kQuery, kSession, rig.Now);
        rig.AnswerAll();
        ASSERT_EQ(rig.Told.size(), 1u) << c.Name;
        EXPECT_EQ(rig.Told[0].Kind, c.Told) << c.Name;
        EXPECT_EQ(rig.Told[0].PublicIp, Ip(c.Address)) << c.Name;
        EXPECT_EQ(rig.Told[0].QueryPort, c.QueryOutside) << c.Name;
        // A query from outside hears the outside port only when the forwarding reaches it.
        const bool open = c.Told == TRouterNotice::Open;
        EXPECT_EQ(rig.Core.SessionPortFor(Ip("11.9.9.9")),
                  open ? kSession + (c.QueryOutside - kQuery) : kSession)
            << c.Name;
        EXPECT_EQ(rig.Core.SessionPortFor(Ip("192.168.1.20")), kSession) << c.Name;
        EXPECT_EQ(rig.Core.PublicSessionAddress().has_value(), open) << c.Name;
        rig.Core.Stop();
        rig.AnswerAll();
        EXPECT_TRUE(rig.Router.Held.empty()) << c.Name;
        EXPECT_TRUE(rig.Core.Finished()) << c.Name;
        EXPECT_EQ(rig.Told.size(), 1u) << c.Name;
    }
}

TEST(RouterCore, TheLeaseIsRenewedAtHalfItsTimeAndAFailedRenewalIsToldOnceUntilItWorksAgain) {
    TRig rig(10s);
    rig.Router.Ways[TRouterMethod::NatPmp] = {TRouterAnswer::Mapped, "11.0.0.11", 0};
    rig.Core.Start(kQuery, kSession, rig.Now);
    rig.AnswerAll();
    rig.Pass(4s);
    EXPECT_EQ(rig.Router.Renewals, 0);
    rig.Pass(1s);
    EXPECT_EQ(rig.Router.Renewals, 1);
    rig.Router.FailRenewals = true;
    for (int i = 0; i < 4; ++i)
        rig.Pass(5s);
    ASSERT_EQ(rig.Told.size(), 2u);
    EXPECT_EQ(rig.Told[1].Kind, TRouterNotice::RenewFailed);
    rig.Router.FailRenewals = false;
    rig.Pass(5s);
    ASSERT_EQ(rig.Told.size(), 3u);
    EXPECT_EQ(rig.Told[2].Kind, TRouterNotice::Open);
    rig.Core.Stop();
    rig.AnswerAll();
    EXPECT_TRUE(rig.Router.Held.empty());
}

TEST(RouterCore, NoLeaseIsShorterThanARouterCanAnswer) {
    TRig rig(0s);
    rig.Router.Ways[TRouterMethod::Upnp] = {TRouterAnswer::Mapped, "11.0.0.11", 0};
    rig.Core.Start(kQuery, kSession, rig.Now);
    rig.Collect();
    ASSERT_EQ(rig.Pending.size(), 1u);
    EXPECT_EQ(rig.Pending[0].Lease, TRouterCore::kMinLease);
}

// Whenever the session ends, before, during or after any answer or renewal, the router is
// left holding nothing and the core finishes once the last answer is in.
TEST(RouterCore, WhenTheSessionEndsAtAnyMomentNoForwardingIsLeftBehind) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        TRig rig(8s);
        const TRouterAnswer::TResult results[] = {TRouterAnswer::Mapped, TRouterAnswer::NoAnswer,
                                                  TRouterAnswer::Refused};
        rig.Router.Ways[TRouterMethod::NatPmp] = {results[random() % 3], "11.0.0.11", 0};
        rig.Router.Ways[TRouterMethod::Upnp] = {results[random() % 3], "11.0.0.11", 3};
        rig.Router.FailRenewals = random() % 2;
        rig.Core.Start(kQuery, kSession, rig.Now);
        const int steps = static_cast<int>(random() % 12);
        for (int i = 0; i < steps; ++i) {
            if (random() % 2)
                rig.AnswerOne();
            else {
                rig.Now += std::chrono::seconds(random() % 6);
                rig.Core.Tick(rig.Now);
                rig.Collect();
            }
        }
        rig.Core.Stop();
        rig.AnswerAll();
        EXPECT_TRUE(rig.Router.Held.empty()) << "seed " << seed;
        EXPECT_TRUE(rig.Core.Finished()) << "seed " << seed;
        // Nothing new is asked of the router once the session has ended.
        rig.Pass(60s);
        EXPECT_TRUE(rig.Pending.empty()) << "seed " << seed;
        EXPECT_TRUE(rig.Router.Held.empty()) << "seed " << seed;
    }
}

TEST(RouterCore, AddressesAreToldApartByWhetherTheInternetCanReachThem) {
    const struct {
        const char* Address;
        TAddressReach Reach;
    } cases[] = {
        {"11.0.0.11", TAddressReach::Public},        {"8.8.8.8", TAddressReach::Public},
        {"100.63.255.255", TAddressReach::Public},   {"100.64.0.0", TAddressReach::Shared},
        {"100.127.255.255", TAddressReach::Shared},  {"100.128.0.0", TAddressReach::Public},
        {"10.1.2.3", TAddressReach::Private},        {"172.15.255.255", TAddressReach::Public},
        {"172.16.0.1", TAddressReach::Private},      {"172.31.255.255", TAddressReach::Private},
        {"172.32.0.0", TAddressReach::Public},       {"192.168.3.4", TAddressReach::Private},
        {"127.0.0.1", TAddressReach::Private},       {"169.254.1.1", TAddressReach::Private},
        {"0.0.0.0", TAddressReach::Private},         {"192.0.2.1", TAddressReach::Private},
        {"198.51.100.7", TAddressReach::Private},    {"203.0.113.9", TAddressReach::Private},
        {"198.18.0.1", TAddressReach::Private},      {"224.0.0.1", TAddressReach::Private},
        {"255.255.255.255", TAddressReach::Private},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReachOf(Ip(c.Address)), c.Reach) << c.Address;
}

TEST(SessionSearch, AnAddressWithAPortAsAHostShowsItSearchesThatPort) {
    const struct {
        const char* Typed;
        const char* Host;
        std::uint16_t Port;
    } cases[] = {
        {"11.0.0.11:29541", "11.0.0.11", 29541},
        {"11.0.0.11", "11.0.0.11", 29540},
        {"host.example:1", "host.example", 1},
        {"host:65535", "host", 65535},
        {"host:65536", "host:65536", 29540},
        {"host:0", "host:0", 29540},
        {"host:", "host:", 29540},
        {"host:12a", "host:12a", 29540},
        {"::1", "::1", 29540},
        {"host:000029541", "host:000029541", 29540},
    };
    for (const auto& c : cases) {
        std::string host = c.Typed;
        std::uint16_t port = 29540;
        SplitHostPort(host, port);
        EXPECT_EQ(host, c.Host) << c.Typed;
        EXPECT_EQ(port, c.Port) << c.Typed;
    }
}

} // namespace
