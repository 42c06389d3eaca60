// `cmake --install` into a staging folder: exactly the expected files, a desktop entry and
// metainfo that the desktop's own validators accept, icons of their folder's size, and the
// installed game, started as the desktop's menu starts it for a user with an empty home folder.
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::vector<int> kIconSizes{MAREVO_ICON_SIZES};

std::string ReadFile(const fs::path& P) {
    std::ifstream f(P, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Runs Command through the shell; its exit status, or -1.
int Shell(const std::string& Command) {
    const int status = std::system(Command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A program started with an environment of its own, its output in files.
class TChild {
public:
    TChild(const std::vector<std::string>& Argv, const std::vector<std::string>& Env,
           const fs::path& Folder, const fs::path& Output) {
        Pid = ::fork();
        if (Pid == 0) {
            if (::chdir(Folder.c_str()) != 0)
                ::_exit(126);
            std::FILE* out = std::freopen(Output.c_str(), "w", stdout);
            std::FILE* err = std::freopen((Output.string() + ".err").c_str(), "w", stderr);
            if (!out || !err)
                ::_exit(126);
            std::vector<char*> args, env;
            for (const std::string& a : Argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            for (const std::string& e : Env)
                env.push_back(const_cast<char*>(e.c_str()));
            env.push_back(nullptr);
            ::execve(args[0], args.data(), env.data());
            ::_exit(127);
        }
    }
    ~TChild() {
        if (Pid > 0 && !Ended) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    bool Running() {
        if (Ended)
            return false;
        if (::waitpid(Pid, &Status, WNOHANG) == Pid)
            Ended = true;
        return !Ended;
    }
    // The exit code, or -1 for a program that was killed or did not end within Limit.
    int Wait(std::chrono::milliseconds Limit) {
        const auto until = std::chrono::steady_clock::now() + Limit;
        while (Running() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(20ms);
        if (!Ended)
            return -1;
        return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    }
    pid_t Pid = -1;

private:
    int Status = 0;
    bool Ended = false;
};

class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        Stage = fs::temp_directory_path() /
                ("marevo-install-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Stage);
        fs::create_directories(Stage);
        const std::string log =
            (Stage.parent_path() / (Stage.filename().string() + ".log")).string();
        ASSERT_EQ(Shell("DESTDIR='" + Stage.string() + "' '" MAREVO_CMAKE_COMMAND "' --install '" +
                        MAREVO_BINARY_DIR + "' --prefix /usr >'" + log + "' 2>&1"),
                  0)
            << ReadFile(log);
        fs::remove(log);
        Usr = Stage / "usr";
    }
    void TearDown() override { fs::remove_all(Stage); }

    // The environment of a user whose home folder is Home, with no display but the offscreen
    // one, and nothing of the test's own environment that would move the user's folders.
    std::vector<std::string> UserEnvironment(const fs::path& Home) const {
        std::vector<std::string> env{"HOME=" + Home.string(), "QT_QPA_PLATFORM=offscreen",
                                     "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
        for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* value = std::getenv(keep))
                env.push_back(std::string(keep) + "=" + value);
        // Under the leak checker: the font library keeps its caches to the end, as it should.
        const fs::path suppressions = Stage / "lsan.supp";
        std::ofstream(suppressions) << "leak:libfontconfig\n";
        const char* lsan = std::getenv("LSAN_OPTIONS");
        env.push_back("LSAN_OPTIONS=" + (lsan ? std::string(lsan) + ":" : std::string()) +
                      "suppressions=" + suppressions.string());
        return env;
    }

    fs::path Stage, Usr;
};

} // namespace

TEST_F(Installed, EachFileIsInItsUsualPlaceAndNothingElseIsThere) {
    std::vector<std::string> expected{
        "usr/bin/marevo",
        "usr/share/applications/marevo.desktop",
        "usr/share/doc/marevo/changelog.gz",
        "usr/share/doc/marevo/copyright",
        "usr/share/man/man6/marevo.6.gz",
        "usr/share/marevo/HALTEX.BMP",
        "usr/share/marevo/MAREVOP1.HLP",
        "usr/share/marevo/SPINTEX.BMP",
        "usr/share/metainfo/" MAREVO_APP_ID ".metainfo.xml",
    };
    for (const int size : kIconSizes) {
        const std::string side = std::to_string(size);
        expected.push_back("usr/share/icons/hicolor/" + side + "x" + side + "/apps/marevo.png");
    }
    std::sort(expected.begin(), expected.end());

    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(Stage)) {
        if (entry.is_directory())
            continue;
        found.push_back(fs::relative(entry.path(), Stage).string());
        struct stat s {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &s), 0);
        const bool program = found.back() == "usr/bin/marevo";
        EXPECT_EQ(s.st_mode & 07777, program ? 0755u : 0644u) << found.back();
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);

    // The shipped data are the samples and the help file of the source tree.
    for (const char* name : {"HALTEX.BMP", "SPINTEX.BMP", "MAREVOP1.HLP"})
        EXPECT_EQ(ReadFile(Usr / "share/marevo" / name),
                  ReadFile(fs::path(MAREVO_SOURCE_DIR) / "app/data" / name))
            << name;
}

TEST_F(Installed, TheDesktopsValidatorsAcceptTheEntryAndTheMetainfo) {
    const std::string desktop = (Usr / "share/applications/marevo.desktop").string();
    const std::string metainfo = (Usr / "share/metainfo/" MAREVO_APP_ID ".metainfo.xml").string();
    EXPECT_EQ(Shell("desktop-file-validate '" + desktop + "'"), 0);
    // Offline: tests talk to no other host.
    EXPECT_EQ(Shell("appstreamcli validate --no-net '" + metainfo + "' >/dev/null"), 0)
        << Shell("appstreamcli validate --no-net '" + metainfo + "'");
    // The metainfo, its desktop entry and its icon, together as installed.
    EXPECT_EQ(Shell("appstreamcli validate-tree --no-net '" + Stage.string() + "' >/dev/null"), 0);
    const std::string entry = ReadFile(desktop);
    EXPECT_NE(entry.find("\nExec=marevo --game-folder\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=marevo\n"), std::string::npos);
    const std::string meta = ReadFile(metainfo);
    EXPECT_NE(meta.find("<launchable type=\"desktop-id\">marevo.desktop</launchable>"),
              std::string::npos);
    EXPECT_NE(meta.find("<summary xml:lang=\"ja\">"), std::string::npos);
    EXPECT_NE(meta.find("<screenshot type=\"default\">"), std::string::npos);
    EXPECT_EQ(Shell("gzip -t '" + (Usr / "share/man/man6/marevo.6.gz").string() + "'"), 0);
}

TEST_F(Installed, EachIconIsAPictureOfItsFoldersSize) {
    for (const int size : kIconSizes) {
        const std::string side = std::to_string(size);
        const QImage icon(QString::fromStdString(
            (Usr / "share/icons/hicolor" / (side + "x" + side) / "apps/marevo.png").string()));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_TRUE(icon.hasAlphaChannel()) << size;
    }
}

TEST_F(Installed, TheProgramAnswersHelpAndVersionWithoutADisplayAndRefusesUnknownOptions) {
    const fs::path home = Stage / "home";
    fs::create_directories(home);
    std::vector<std::string> env = UserEnvironment(home);
    std::erase(env, "QT_QPA_PLATFORM=offscreen");
    const std::string program = (Usr / "bin/marevo").string();
    const fs::path out = Stage / "out";

    TChild version({program, "--version"}, env, home, out);
    EXPECT_EQ(version.Wait(10s), 0);
    EXPECT_EQ(ReadFile(out), std::string("marevo ") + MAREVO_VERSION + "\n");

    TChild help({program, "--help"}, env, home, out);
    EXPECT_EQ(help.Wait(10s), 0);
    EXPECT_NE(ReadFile(out).find("--game-folder"), std::string::npos);

    TChild wrong({program, "--no-such-option"}, env, home, out);
    EXPECT_EQ(wrong.Wait(10s), 2);
    const std::string error = ReadFile(out.string() + ".err");
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("--no-such-option"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(home));
}

TEST_F(Installed, FromTheMenuTheGameMakesAndSeedsItsFolderPlaysAndEndsCleanly) {
    const fs::path home = Stage / "home";
    fs::create_directories(home);
    const fs::path folder = home / ".local/share/marevo";
    TChild game({(Usr / "bin/marevo").string(), "--game-folder"}, UserEnvironment(home), home,
                Stage / "game.out");
    // The folder is made before the window; a first start may take a while to find its fonts.
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (!fs::exists(folder / "SPINTEX.BMP") && game.Running() &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(game.Running()) << ReadFile(Stage / "game.out.err");
    for (const char* name : {"HALTEX.BMP", "SPINTEX.BMP"})
        EXPECT_EQ(ReadFile(folder / name), ReadFile(Usr / "share/marevo" / name)) << name;
    // What a log-out or a process manager sends: the game closes its window and ends well.
    ASSERT_EQ(::kill(game.Pid, SIGTERM), 0);
    EXPECT_EQ(game.Wait(20s), 0) << ReadFile(Stage / "game.out.err");
    // Nothing failed, so no debug log was written, neither beside the program nor elsewhere.
    EXPECT_FALSE(fs::exists(Usr / "bin/dddd.debug"));
    EXPECT_FALSE(fs::exists(home / ".local/state"));
}
