#include "dddd/DdddDebug.h"
#include "ddidex/DdidDebug.h"
#include "ddpd/DdpdDebug.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& P) {
    std::ifstream f(P, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class ErrorReport : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("marevo-report-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }
    std::string FolderSlash() const { return Folder.string() + "/"; }
    fs::path Folder;
};

} // namespace

TEST(ErrorReportFormat, SuffixIsUpperCaseHexOfTheUnsignedCode) {
    EXPECT_EQ(dddd::ErrorCodeSuffix(static_cast<std::int32_t>(0x887601C2)),
              "(Error Code(887601C2))");
    EXPECT_EQ(dddd::ErrorCodeSuffix(-1), "(Error Code(FFFFFFFF))");
    EXPECT_EQ(dddd::ErrorCodeSuffix(10), "(Error Code(A))");
    EXPECT_EQ(dddd::FormatDebugLine(1, "x"), "debug#00001 ... x");
    EXPECT_EQ(dddd::FormatDebugLine(123456, "y"), "debug#123456 ... y");
}

TEST_F(ErrorReport, FirstLineOfARunTruncatesAndLaterLinesAppend) {
    std::ofstream(Folder / "t.debug") << "old contents\n";
    dddd::TErrorReporter r({"t.debug", nullptr, true, false});
    r.SetLogFolder(FolderSlash());
    EXPECT_EQ(r.ReportError(0, "nothing"), 0);
    EXPECT_EQ(ReadFile(Folder / "t.debug"), "old contents\n"); // a run without failures leaves it
    EXPECT_EQ(r.DebugLog("一行目"), 0);
    EXPECT_EQ(r.ReportError(-1, "二行目"), -1);
    EXPECT_EQ(ReadFile(Folder / "t.debug"),
              "debug#00001 ... 一行目\r\ndebug#00002 ... 二行目(Error Code(FFFFFFFF))\r\n");
}

TEST_F(ErrorReport, AFailedOpenDoesNotUseUpALineNumber) {
    dddd::TErrorReporter r({"t.debug", nullptr, true, false});
    r.SetLogFolder(FolderSlash() + "missing/");
    EXPECT_THROW(r.DebugLog("lost"), EInOutError);
    EXPECT_EQ(r.LineCount(), 0);
    r.SetLogFolder(FolderSlash());
    r.DebugLog("kept");
    EXPECT_EQ(ReadFile(Folder / "t.debug"), "debug#00001 ... kept\r\n");
}

using ErrorReportDeathTest = ErrorReport;

TEST_F(ErrorReportDeathTest, DisplayFailureLogsAndEndsTheProgram) {
    const std::string folder = FolderSlash();
    EXPECT_EXIT(
        {
            dddd::DdddReporter().SetLogFolder(folder);
            dddd::ReportError(static_cast<std::int32_t>(0x887601C2), "失敗しました");
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(ReadFile(Folder / "dddd.debug"),
              "debug#00001 ... 失敗しました(Error Code(887601C2))\r\n");
}

TEST_F(ErrorReportDeathTest, InputFailureLogsAndEndsTheProgram) {
    const std::string folder = FolderSlash();
    EXPECT_EXIT(
        {
            ddidex::DdidReporter().SetLogFolder(folder);
            ddidex::ReportError(5, "入力");
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(ReadFile(Folder / "ddid.debug"), "debug#00001 ... 入力(Error Code(5))\r\n");
}

TEST_F(ErrorReportDeathTest, AHaltIsNotPassedOverWhenTheLogCannotBeWritten) {
    const std::string folder = FolderSlash() + "no/such/folder/";
    EXPECT_EXIT(
        {
            dddd::DdddReporter().SetLogFolder(folder);
            dddd::ReportError(1, "ログ不可");
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "ログ不可\\(Error Code\\(1\\)\\)");
}

TEST_F(ErrorReport, DisplayDebugLogAloneGoesOn) {
    dddd::DdddReporter().SetLogFolder(FolderSlash());
    dddd::DebugLog("ScreenModeプロパティは読み込み禁止です");
    EXPECT_NE(ReadFile(Folder / "dddd.debug").find("ScreenMode"), std::string::npos);
}

TEST_F(ErrorReport, SessionFailureRaisesEDDPDAndWritesNothing) {
    ddpd::DdpdReporter().SetLogFolder(FolderSlash());
    try {
        ddpd::ReportError(static_cast<std::int32_t>(0x88770082), "セッションを作れません");
        FAIL() << "no exception";
    } catch (const ddpd::EDDPD& e) {
        EXPECT_STREQ(e.what(), "セッションを作れません(Error Code(88770082))");
    }
    EXPECT_EQ(ddpd::ReportError(0, "ok"), 0);
    EXPECT_FALSE(fs::exists(Folder / "DDPD.debug"));
}
