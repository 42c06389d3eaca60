// "目次(&C)": the help file's contents page, looked for in the current folder whatever the
// letter case of its name, and a Japanese message when there is none.
#include "app/Form1.h"

#include <QApplication>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QTextBrowser* ShownHelp() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* viewer = qobject_cast<QTextBrowser*>(w); viewer && viewer->isVisible())
            return viewer;
    return nullptr;
}

} // namespace

TEST(HelpCommand, ShowsTheContentsOfTheHelpFileOrSaysItIsMissing) {
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("marevo-help-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(fs::path(MAREVO_SOURCE_DIR) / "app/data/MAREVOP1.HLP", folder / "Marevop1.hlp");
    fs::current_path(folder);
    std::vector<std::string> told;
    vcl::Application->OnMessageBox = [&](const std::string& Text) { told.push_back(Text); };
    vcl::Application->SetHelpFile("elsewhere/none.hlp");
    {
        TManualClock clock(0);
        TForm1 form(clock);
        form.N1->trigger();
        EXPECT_EQ(vcl::Application->HelpFile(), "MAREVOP1.HLP");
        EXPECT_TRUE(told.empty());
        QTextBrowser* viewer = ShownHelp();
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->toPlainText().contains(QString::fromUtf8("Marevo 目次")));
        viewer->close();

        fs::remove(folder / "Marevop1.hlp");
        form.N1->trigger();
        EXPECT_EQ(told, std::vector<std::string>{"ヘルプファイル MAREVOP1.HLP が見つかりません"});
        EXPECT_EQ(ShownHelp(), nullptr);
    }
    vcl::Application->OnMessageBox = nullptr;
    fs::current_path(previous);
    fs::remove_all(folder);
}
