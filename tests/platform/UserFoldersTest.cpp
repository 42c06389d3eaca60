// The XDG base folders and where the debug logs go when the program's own folder is read-only.
#include "platform/rtl/UserFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets or unsets one environment variable for the length of a scope.
class TScopedEnv {
public:
    TScopedEnv(const char* Name, std::optional<std::string> Value) : Name(Name) {
        if (const char* old = std::getenv(Name))
            Old = old;
        if (Value)
            setenv(Name, Value->c_str(), 1);
        else
            unsetenv(Name);
    }
    ~TScopedEnv() {
        if (Old)
            setenv(Name, Old->c_str(), 1);
        else
            unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("marevo-folders-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }
    fs::path Folder;
};

} // namespace

TEST(UserFolder, FollowsTheXdgVariablesAndFallsBackUnderHome) {
    struct TCase {
        std::optional<std::string> Data, State, Home;
        std::string WantData, WantState;
    };
    const TCase cases[] = {
        {"/x/data", "/x/state", "/home/p", "/x/data/", "/x/state/"},
        {"/x/data/", std::nullopt, "/home/p", "/x/data/", "/home/p/.local/state/"},
        // Empty or relative values do not count.
        {"", "relative/state", "/home/p/", "/home/p/.local/share/", "/home/p/.local/state/"},
        {std::nullopt, std::nullopt, "/h", "/h/.local/share/", "/h/.local/state/"},
    };
    for (const TCase& c : cases) {
        TScopedEnv data("XDG_DATA_HOME", c.Data), state("XDG_STATE_HOME", c.State),
            home("HOME", c.Home);
        EXPECT_EQ(rtl::UserFolder(rtl::TUserFolder::Data), c.WantData);
        EXPECT_EQ(rtl::UserFolder(rtl::TUserFolder::State), c.WantState);
    }
    // Without HOME the password database still names a home folder.
    TScopedEnv data("XDG_DATA_HOME", std::nullopt), home("HOME", std::nullopt);
    const std::string fallback = rtl::UserFolder(rtl::TUserFolder::Data);
    EXPECT_EQ(fallback.front(), '/');
    EXPECT_TRUE(fallback.ends_with(".local/share/")) << fallback;
}

TEST_F(UserFolders, MakeUserFolderMakesEveryMissingLevelForTheUserAlone) {
    const fs::path deep = Folder / "a" / "b" / "c";
    ASSERT_TRUE(rtl::MakeUserFolder(deep.string()));
    for (const fs::path& made : {Folder / "a", Folder / "a" / "b", deep}) {
        struct stat s {};
        ASSERT_EQ(::stat(made.c_str(), &s), 0);
        EXPECT_EQ(s.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(rtl::MakeUserFolder(deep.string())); // already there
    std::ofstream(Folder / "file") << "x";
    EXPECT_FALSE(rtl::MakeUserFolder((Folder / "file" / "sub").string()));
}

TEST_F(UserFolders, LogsStayBesideAWritableProgramAndGoToTheStateFolderOtherwise) {
    const std::string exe = (Folder / "bin").string() + "/";
    fs::create_directories(exe);
    const std::string state = (Folder / "state").string();
    EXPECT_EQ(rtl::LogFolderFor(exe, state, "marevo"), exe);
    EXPECT_FALSE(fs::exists(state));

    // A folder the program cannot write to; root may write anywhere, so one that is gone.
    const std::string gone = (Folder / "gone").string() + "/";
    EXPECT_EQ(rtl::LogFolderFor(gone, state, "marevo"), state + "/marevo/");
    EXPECT_TRUE(fs::is_directory(state + "/marevo"));
}
