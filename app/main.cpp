#include "CommandLine.h"
#include "Form1.h"
#include "GameFolder.h"
#include "GameSettings.h"
#include "QuitSignal.h"
#include "platform/vcl/Forms.h"
#include "platform/winmm/TimeGetTime.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // Before the toolkit starts, so that --help and --version work without a display.
    const TCommandLine line = ParseCommandLine(argc, argv);
    switch (line.Action) {
    case TCommandLine::ShowHelp:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case TCommandLine::ShowVersion:
        std::fputs(VersionText().c_str(), stdout);
        return 0;
    case TCommandLine::Refuse:
        std::fprintf(stderr, "%s\n", line.Error.c_str());
        return kUsageExitCode;
    case TCommandLine::Play:
        break;
    }

    // The session service reads its settings from the environment, like the players' own.
    if (line.NoRouter)
        setenv("MAREVO_DPLAY_ROUTER", "0", 1);

    vcl::TFrameworkApp qt(argc, argv);
    // As early as the toolkit can hear it: a stop asked for while the window is being made
    // ends the program as soon as the message loop runs.
    TQuitSignal quit([] {
        if (Form1)
            Form1->close();
        else if (vcl::Application)
            vcl::Application->Terminate();
    });
    // Ties the windows to the desktop entry "marevo.desktop", its name and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("marevo"));
    vcl::TApplication application;
    application.Initialize();
    application.SetTitle("Marevo");
    application.SetHelpFile("Marevop1.hlp");
    const std::vector<std::filesystem::path> data = DataFolders();
    application.SetDataFolder(data.back().string() + "/");
    if (line.GameFolder) {
        if (const std::string problem = EnterGameFolder(GameFolderPath(), data); !problem.empty())
            vcl::ShowMessage(problem);
    }
    TSystemClock clock;
    TForm1 form(clock);
    Form1 = &form;
    const std::string settingsFile = GameSettingsFile();
    form.ApplySettings(ReadGameSettings(settingsFile));
    form.show();
    application.Run();
    if (!WriteGameSettings(settingsFile, form.Settings()))
        vcl::MessageBox(nullptr,
                        "設定を保存できませんでした。次回は今回の設定で始まりません。\n" +
                            settingsFile,
                        application.Title());
    return 0;
}
