#include "ddidex/DdidDebug.h"

#include "tests/ddidex/DDIDEXFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class InputComponentDeathTest : public InputComponent {
protected:
    void SetUp() override {
        InputComponent::SetUp();
        // No process number in the name: the dying child runs this again and must find the
        // same folder.
        Folder = fs::temp_directory_path() /
                 (std::string("marevo-ddid-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override {
        fs::remove_all(Folder);
        InputComponent::TearDown();
    }
    std::string Log() const {
        std::ifstream f(Folder / "ddid.debug", std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    fs::path Folder;
};

} // namespace

TEST_F(InputComponentDeathTest, EveryReportedFailureOfInitializeIsLoggedAndEndsTheProgram) {
    struct TCase {
        const std::string& Call;
        int Skip; // calls of that name that succeed first: keyboard, mouse, joystick
        int Times;
        const char* Text;
    };
    const TCase cases[] = {
        {DInputCall::DirectInputCreateA, 0, 1, "DirectInputの作成に失敗しました"},
        {DInputCall::CreateDevice, 0, 1, "DirectInputDevice(キーボード)の作成に失敗しました"},
        {DInputCall::SetDataFormat, 0, 1,
         "DirectInputDeviceのデータフォーマット(キーボード)の指定に失敗しました"},
        {DInputCall::SetCooperativeLevel, 0, 1,
         "DirectInputDeviceの協調レベルの設定に失敗しました"},
        {DInputCall::CreateDevice, 1, 1, "DirectInputDevice(マウス)の作成に失敗しました"},
        {DInputCall::SetDataFormat, 1, 1,
         "DirectInputDeviceのデータフォーマット(マウス)の指定に失敗しました"},
        {DInputCall::SetCooperativeLevel, 1, 1,
         "DirectInputDeviceの協調レベルの設定に失敗しました"},
        {DInputCall::SetDataFormat, 2, 1,
         "DirectInputDeviceのデータフォーマット(ジョイスティック)の指定に失敗しました"},
        // Exclusive refused, then non-exclusive refused too.
        {DInputCall::SetCooperativeLevel, 2, 2,
         "DirectInputDeviceの協調レベルの設定に失敗しました"},
    };
    TTestJoystick stick({"Doomed Stick"});
    const std::string folder = Folder.string() + "/";
    for (const TCase& c : cases) {
        fs::remove(Folder / "ddid.debug");
        EXPECT_EXIT(
            {
                ddidex::DdidReporter().SetLogFolder(folder);
                DInputFailurePlan().Fail(c.Call, DIERR_INVALIDPARAM, c.Skip, c.Times);
                Start();
            },
            ::testing::ExitedWithCode(dddd::kHaltExitCode), "")
            << c.Call << " after " << c.Skip;
        EXPECT_EQ(Log(), std::string("debug#00001 ... ") + c.Text + "(Error Code(80070057))\r\n")
            << c.Call << " after " << c.Skip;
    }
}
