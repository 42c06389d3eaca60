// Two players, each with the whole game in a process of its own, on 127.0.0.1: they find each
// other through the connection dialog, see each other's yachts, swap hull textures, chat, and
// see a departure.
#include "tests/ddpd/PeerProcess.h"
#include "tests/platform/DPlayTestPeer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

using namespace ddpdtest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<char>;

TBytes ReadFile(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& File, const TBytes& Bytes) {
    std::ofstream(File, std::ios::binary).write(Bytes.data(), static_cast<long>(Bytes.size()));
}

// A folder of the player's own, as if the game had been installed there: the sample
// textures, with the hull's pixels changed when Tint is non-zero so that the two players'
// hulls differ.
fs::path PlayerFolder(const std::string& Name, char Tint) {
    const fs::path folder =
        fs::temp_directory_path() / ("marevo-session-" + std::to_string(::getpid()) + "-" + Name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path build = fs::path(MAREVO_BINARY_DIR) / "app";
    TBytes hull = ReadFile(build / "HALTEX.BMP");
    for (std::size_t i = 54; i < hull.size(); ++i)
        hull[i] = static_cast<char>(hull[i] ^ Tint);
    WriteFile(folder / "HALTEX.BMP", hull);
    fs::copy_file(build / "SPINTEX.BMP", folder / "SPINTEX.BMP");
    return folder;
}

struct TPlayer {
    TPlayer(const std::string& Name, std::uint16_t QueryPort, char Tint)
        : Folder(PlayerFolder(Name, Tint)),
          Process(MAREVO_GAME_PEER, {std::to_string(QueryPort)}, Folder.string()) {
        EXPECT_FALSE(Process.WaitPrefix("READY", 15s).empty());
    }
    ~TPlayer() { fs::remove_all(Folder); }

    std::int32_t Connect(const std::string& Command) {
        Process.Command(Command);
        const std::string id = Process.WaitLine(
            [](const std::string& l) { return l.rfind("ID ", 0) == 0 || l.rfind("FAIL", 0) == 0; },
            20s);
        return id.rfind("ID ", 0) == 0 ? std::stoi(id.substr(3)) : 0;
    }

    bool WaitChat(const std::string& Line, std::chrono::milliseconds Limit = 5s) {
        return !Process.WaitLine([&](const std::string& l) { return l == "CHAT " + Line; }, Limit)
                    .empty();
    }

    // The written texture equals Expected, within Limit.
    bool WaitTexture(const TBytes& Expected, std::chrono::milliseconds Limit = 5s) {
        const auto end = std::chrono::steady_clock::now() + Limit;
        while (std::chrono::steady_clock::now() < end) {
            if (ReadFile(Folder / "ENTEX.BMP") == Expected)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    fs::path Folder;
    TPeerProcess Process;
};

struct TSeen {
    int Slot = 0;
    int Present = 0;
    float X = 0, Z = 0;
    long long Ms = 0;
};

TSeen ParseYacht(const std::string& Line) {
    std::istringstream in(Line);
    std::string word;
    TSeen s;
    in >> word >> s.Slot >> s.Present >> s.X >> s.Z >> s.Ms;
    return s;
}

// What a player's process printed, for a failure's message.
std::string Said(const TPlayer& Player) {
    std::string all;
    for (const auto& line : Player.Process.Lines)
        all += line + '\n';
    return all;
}

TEST(GameSession, TwoPlayersSailChatAndPart) {
    const std::uint16_t port = dplaytest::FreeUdpPort();
    TPlayer anna("anna", port, 0);
    TPlayer ben("ben", port, 0x5a);
    ASSERT_GT(anna.Connect("HOST anna"), 1);
    ASSERT_GT(ben.Connect("JOIN ben"), 1);
    // Far from where a new yacht stands, so its first state from there is plain to see.
    ben.Process.Command("PLACE 300 -200");

    EXPECT_TRUE(anna.WaitChat("benさんが、来ました"));

    // The first state ben sends from there puts his yacht there on anna's screen within about
    // a second.
    long long sentMs = 0;
    float sentX = 0, sentZ = 0;
    const std::string sent = ben.Process.WaitLine(
        [&](const std::string& l) {
            if (l.rfind("SENT ", 0) != 0)
                return false;
            std::istringstream(l.substr(5)) >> sentMs >> sentX >> sentZ;
            return std::hypot(sentX - 300.0f, sentZ + 200.0f) < 50.0f;
        },
        5s);
    ASSERT_FALSE(sent.empty());
    const std::string seen = anna.Process.WaitLine(
        [&](const std::string& l) {
            if (l.rfind("YACHT 2 1 ", 0) != 0)
                return false;
            const TSeen s = ParseYacht(l);
            return std::hypot(s.X - sentX, s.Z - sentZ) < 20.0f;
        },
        5s);
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(ParseYacht(seen).Ms - sentMs, 1000);

    // Each has the other's hull: the template's headers with the other's pixels, which for
    // two templates of one format is the other's file itself.
    EXPECT_TRUE(anna.WaitTexture(ReadFile(ben.Folder / "HALTEX.BMP")));
    EXPECT_TRUE(ben.WaitTexture(ReadFile(anna.Folder / "HALTEX.BMP")));

    ben.Process.Command("CHAT こんにちは、よろしく");
    EXPECT_TRUE(ben.WaitChat("ben:\tこんにちは、よろしく"));
    EXPECT_TRUE(anna.WaitChat("ben:\tこんにちは、よろしく"));
    anna.Process.Command("CHAT 風が強いね");
    EXPECT_TRUE(ben.WaitChat("anna:\t風が強いね"));

    ben.Process.Command("QUIT");
    EXPECT_EQ(ben.Process.WaitExit(10s), 0);
    EXPECT_TRUE(anna.WaitChat("benさんが、逃げました"));
    EXPECT_FALSE(anna.Process.WaitPrefix("YACHT 2 0 ", 5s).empty());
    EXPECT_TRUE(anna.Process.WaitPrefix("FAIL", 0ms).empty());
}

// Both players' session layers lose one datagram in ten and hold one in ten back by 40 ms.
// Guaranteed traffic goes through anyway, and nobody is taken for gone.
TEST(GameSession, OverALossyLinkStatesTexturesAndChatArriveAndNobodyIsTakenForGone) {
    const std::uint16_t port = dplaytest::FreeUdpPort();
    setenv("MAREVO_DPLAY_LOSS", "10", 1);
    setenv("MAREVO_DPLAY_DELAY", "40", 1);
    TPlayer anna("anna-lossy", port, 0);
    TPlayer ben("ben-lossy", port, 0x33);
    unsetenv("MAREVO_DPLAY_LOSS");
    unsetenv("MAREVO_DPLAY_DELAY");
    ASSERT_GT(anna.Connect("HOST anna"), 1) << Said(anna);
    ASSERT_GT(ben.Connect("JOIN ben"), 1) << Said(ben);
    ben.Process.Command("PLACE 300 -200");
    EXPECT_FALSE(anna.Process
                     .WaitLine(
                         [](const std::string& l) {
                             if (l.rfind("YACHT 2 1 ", 0) != 0)
                                 return false;
                             const TSeen s = ParseYacht(l);
                             return std::hypot(s.X - 300.0f, s.Z + 200.0f) < 60.0f;
                         },
                         10s)
                     .empty());
    EXPECT_TRUE(anna.WaitTexture(ReadFile(ben.Folder / "HALTEX.BMP"), 10s));
    EXPECT_TRUE(ben.WaitTexture(ReadFile(anna.Folder / "HALTEX.BMP"), 10s));
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        ben.Process.Command("CHAT 追い風" + n);
        anna.Process.Command("CHAT 向かい風" + n);
        EXPECT_TRUE(anna.WaitChat("ben:\t追い風" + n, 10s));
        EXPECT_TRUE(ben.WaitChat("anna:\t向かい風" + n, 10s));
        std::this_thread::sleep_for(1s);
    }
    EXPECT_TRUE(anna.Process.WaitPrefix("CHAT benさんが、逃げました", 0ms).empty());
    EXPECT_TRUE(ben.Process.WaitPrefix("CHAT annaさんが、逃げました", 0ms).empty());
    ben.Process.Command("QUIT");
    EXPECT_EQ(ben.Process.WaitExit(10s), 0);
}

} // namespace
