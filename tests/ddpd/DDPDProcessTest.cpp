// Players in processes of their own, on 127.0.0.1: what a player sees when others join, send,
// leave, crash, or when the host's computer goes.
#include "tests/ddpd/PeerProcess.h"
#include "tests/platform/DPlayTestPeer.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace ddpdtest;
using namespace std::chrono_literals;

namespace {

std::string Join(const TPeerProcess& P) {
    return "JOIN " + std::to_string(P.Id) + " ";
}
std::string Leave(const TPeerProcess& P) {
    return "LEAVE " + std::to_string(P.Id);
}

struct TMsg {
    std::string From;
    int Size = 0;
    int Seq = 0;
};

TMsg Parse(const std::string& Line) {
    std::istringstream in(Line);
    std::string word;
    TMsg m;
    in >> word >> m.From >> m.Size >> m.Seq;
    return m;
}

// Elapsed time of Action.
template <class F> std::chrono::milliseconds Timed(F&& Action) {
    const auto start = std::chrono::steady_clock::now();
    Action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace

TEST(DDPDProcesses, ThreePlayersGetGuaranteedMessagesWholeInOrderAndNeverTheirOwn) {
    const auto port = dplaytest::FreeUdpPort();
    TPeerProcess a("host", port, "a");
    ASSERT_GT(a.Id, 1u);
    TPeerProcess b("join", port, "b");
    ASSERT_GT(b.Id, 1u);
    TPeerProcess c("join", port, "c");
    ASSERT_GT(c.Id, 1u);
    ASSERT_FALSE(a.WaitPrefix(Join(b), 3s).empty());
    ASSERT_FALSE(a.WaitPrefix(Join(c), 3s).empty());
    ASSERT_FALSE(b.WaitPrefix(Join(c), 3s).empty());
    for (int seq = 0; seq < 50; ++seq)
        b.Command("SEND 0 28 " + std::to_string(seq));
    b.Command("SEND 0 49152 50");
    for (TPeerProcess* p : {&a, &c}) {
        for (int seq = 0; seq <= 50; ++seq) {
            const std::string line = p->WaitPrefix("MSG ", 5s);
            ASSERT_FALSE(line.empty()) << seq;
            const TMsg m = Parse(line);
            EXPECT_EQ(m.From, std::to_string(b.Id));
            EXPECT_EQ(m.Seq, seq);
            EXPECT_EQ(m.Size, seq == 50 ? 49152 : 28);
        }
    }
    EXPECT_TRUE(b.WaitPrefix("MSG ", 300ms).empty());
}

TEST(DDPDProcesses, AKilledPlayerIsGoneForTheOthersWithinFiveSeconds) {
    const auto port = dplaytest::FreeUdpPort();
    TPeerProcess a("host", port, "a");
    TPeerProcess b("join", port, "b");
    ASSERT_FALSE(a.WaitPrefix(Join(b), 3s).empty());
    b.Kill();
    std::string left;
    const auto took = Timed([&] { left = a.WaitPrefix(Leave(b), 6s); });
    EXPECT_EQ(left, Leave(b));
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(a.WaitPrefix(Leave(b), 500ms).empty()); // once
}

TEST(DDPDProcesses, WhenTheHostIsKilledTheOthersCarryOnAndANewPlayerJoinsThem) {
    const auto port = dplaytest::FreeUdpPort();
    TPeerProcess a("host", port, "a");
    TPeerProcess b("join", port, "b");
    TPeerProcess c("join", port, "c");
    ASSERT_FALSE(b.WaitPrefix(Join(c), 3s).empty());
    a.Kill();
    const auto took = Timed([&] {
        EXPECT_EQ(b.WaitPrefix(Leave(a), 6s), Leave(a));
        EXPECT_EQ(c.WaitPrefix(Leave(a), 6s), Leave(a));
    });
    EXPECT_LT(took, 5s);
    TPeerProcess d("join", port, "d");
    ASSERT_GT(d.Id, c.Id);
    EXPECT_FALSE(b.WaitPrefix(Join(d), 5s).empty());
    EXPECT_FALSE(c.WaitPrefix(Join(d), 5s).empty());
    d.Command("SEND 0 28 7");
    for (TPeerProcess* p : {&b, &c}) {
        const TMsg m = Parse(p->WaitPrefix("MSG ", 3s));
        EXPECT_EQ(m.From, std::to_string(d.Id));
        EXPECT_EQ(m.Seq, 7);
    }
    EXPECT_TRUE(b.WaitPrefix(Leave(c), 200ms).empty());
}
