// The help command of an installed game, started in a folder of the player's: the help file is
// found in the program's data folder.
#include "platform/vcl/Forms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(HelpFile, IsFoundInTheDataFolderWhenNeitherTheCurrentNorTheProgramsFolderHasIt) {
    const fs::path started = fs::current_path();
    const fs::path empty =
        fs::temp_directory_path() / ("marevo-help-" + std::to_string(::getpid()));
    fs::create_directories(empty);
    fs::current_path(empty);
    std::string told;
    vcl::Application->OnMessageBox = [&](const std::string& Text) { told = Text; };
    vcl::Application->SetHelpFile("MAREVOP1.HLP");

    vcl::Application->SetDataFolder("");
    EXPECT_FALSE(vcl::Application->HelpCommand(vcl::HELP_CONTENTS));
    EXPECT_NE(told.find("MAREVOP1.HLP"), std::string::npos) << told;

    told.clear();
    vcl::Application->SetDataFolder(std::string(MAREVO_SOURCE_DIR) + "/app/data/");
    EXPECT_TRUE(vcl::Application->HelpCommand(vcl::HELP_CONTENTS));
    EXPECT_EQ(told, "");

    vcl::Application->SetDataFolder("");
    vcl::Application->OnMessageBox = nullptr;
    fs::current_path(started);
    fs::remove_all(empty);
}
