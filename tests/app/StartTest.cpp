// Program start: the command line, and the player's own game folder made, seeded and entered.
#include "app/CommandLine.h"
#include "app/GameFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

TCommandLine Parse(std::vector<const char*> Args) {
    Args.insert(Args.begin(), "marevo");
    return ParseCommandLine(static_cast<int>(Args.size()), Args.data());
}

std::string ReadFile(const fs::path& P) {
    std::ifstream f(P, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace

TEST(CommandLine, NoRouterLeavesTheRouterAloneAndStillPlaysOrAsksForHelp) {
    const struct {
        std::vector<const char*> Args;
        TCommandLine::TAction Action;
        bool NoRouter;
    } cases[] = {
        {{}, TCommandLine::Play, false},
        {{"--no-router"}, TCommandLine::Play, true},
        {{"--no-router", "--game-folder"}, TCommandLine::Play, true},
        {{"--no-router", "--help"}, TCommandLine::ShowHelp, true},
        {{"--norouter"}, TCommandLine::Refuse, false},
    };
    for (const auto& c : cases) {
        const TCommandLine line = Parse(c.Args);
        EXPECT_EQ(line.Action, c.Action) << (c.Args.empty() ? "(none)" : c.Args.front());
        EXPECT_EQ(line.NoRouter, c.NoRouter) << (c.Args.empty() ? "(none)" : c.Args.front());
    }
}

TEST(CommandLine, SwitchesAskForHelpTheVersionOrTheGameFolderAndAnythingElseIsRefused) {
    struct TCase {
        std::vector<const char*> Args;
        TCommandLine::TAction Action;
        bool GameFolder;
        const char* ErrorHas;
    };
    const TCase cases[] = {
        {{}, TCommandLine::Play, false, ""},
        {{"--game-folder"}, TCommandLine::Play, true, ""},
        {{"--help"}, TCommandLine::ShowHelp, false, ""},
        {{"-h"}, TCommandLine::ShowHelp, false, ""},
        {{"--version"}, TCommandLine::ShowVersion, false, ""},
        {{"--version", "--help"}, TCommandLine::ShowVersion, false, ""},
        {{"--game-folder", "--help"}, TCommandLine::ShowHelp, true, ""},
        {{"--gamefolder"}, TCommandLine::Refuse, false, "--gamefolder"},
        {{"-platform"}, TCommandLine::Refuse, false, "-platform"},
        {{"--help", "--bogus"}, TCommandLine::Refuse, false, "--bogus"},
        {{"HALTEX.BMP"}, TCommandLine::Refuse, false, "HALTEX.BMP"},
        {{"--Help"}, TCommandLine::Refuse, false, "--Help"},
    };
    for (const TCase& c : cases) {
        const TCommandLine line = Parse(c.Args);
        const std::string args = c.Args.empty() ? "(none)" : c.Args.front();
        EXPECT_EQ(line.Action, c.Action) << args;
        EXPECT_EQ(line.GameFolder, c.GameFolder) << args;
        if (c.Action == TCommandLine::Refuse) {
            // One line, naming what was refused and where help is.
            EXPECT_NE(line.Error.find(c.ErrorHas), std::string::npos) << line.Error;
            EXPECT_NE(line.Error.find("--help"), std::string::npos) << line.Error;
            EXPECT_EQ(line.Error.find('\n'), std::string::npos) << line.Error;
        }
    }
    EXPECT_EQ(kUsageExitCode, 2);
    EXPECT_NE(UsageText().find("--no-router"), std::string::npos);
    EXPECT_NE(UsageText().find("--game-folder"), std::string::npos);
    EXPECT_EQ(VersionText(), std::string("marevo ") + MAREVO_VERSION + "\n");
}

class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        Started = fs::current_path();
        Root = fs::temp_directory_path() /
               ("marevo-game-folder-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        fs::create_directories(Root / "build");
        fs::create_directories(Root / "share");
        // A build folder with only the hull, an installation with both.
        std::ofstream(Root / "build" / "haltex.bmp") << "build hull";
        std::ofstream(Root / "share" / "HALTEX.BMP") << "installed hull";
        std::ofstream(Root / "share" / "SPINTEX.BMP") << "installed spinnaker";
        Samples = {Root / "build", Root / "share"};
    }
    void TearDown() override {
        fs::current_path(Started);
        fs::remove_all(Root);
    }
    fs::path Started, Root;
    std::vector<fs::path> Samples;
};

TEST_F(GameFolder, FirstStartMakesTheFolderSeedsItAndPlaysInIt) {
    const fs::path folder = Root / "data" / "marevo";
    EXPECT_EQ(EnterGameFolder(folder, Samples), "");
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(folder));
    // Each sample from the first folder that has it, under the name the game looks for.
    EXPECT_EQ(ReadFile(folder / "HALTEX.BMP"), "build hull");
    EXPECT_EQ(ReadFile(folder / "SPINTEX.BMP"), "installed spinnaker");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder))
        ++entries;
    EXPECT_EQ(entries, 2); // no temporary copies left
}

TEST_F(GameFolder, ALaterStartLeavesThePlayersFolderAsItIs) {
    const fs::path folder = Root / "marevo";
    fs::create_directories(folder);
    std::ofstream(folder / "HALTEX.BMP") << "my own hull";
    // The player threw the spinnaker sample away: it does not come back.
    EXPECT_EQ(EnterGameFolder(folder, Samples), "");
    EXPECT_EQ(ReadFile(folder / "HALTEX.BMP"), "my own hull");
    EXPECT_FALSE(fs::exists(folder / "SPINTEX.BMP"));
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(folder));
}

TEST_F(GameFolder, AFolderThatCannotBeMadeIsToldAndTheGamePlaysWhereItStarted) {
    std::ofstream(Root / "blocker") << "a file, not a folder";
    const fs::path before = fs::current_path();
    const std::string problem = EnterGameFolder(Root / "blocker" / "marevo", Samples);
    EXPECT_NE(problem.find("ゲームフォルダ"), std::string::npos) << problem;
    EXPECT_NE(problem.find((Root / "blocker" / "marevo").string()), std::string::npos);
    EXPECT_EQ(fs::current_path(), before);
}

TEST_F(GameFolder, MissingSamplesLeaveAnEmptyFolderToPlayIn) {
    EXPECT_EQ(EnterGameFolder(Root / "bare", {Root / "nothing-here"}), "");
    EXPECT_TRUE(fs::is_empty(Root / "bare"));
}

TEST(GameFolderPath, LiesInTheUsersDataFolder) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/srv/player/data", 1);
    EXPECT_EQ(GameFolderPath(), fs::path("/srv/player/data/marevo"));
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
