#include "CommandLine.h"

#include <string_view>

TCommandLine ParseCommandLine(int Argc, const char* const* Argv) {
    TCommandLine line;
    for (int i = 1; i < Argc; ++i) {
        const std::string_view arg = Argv[i];
        if (arg == "--help" || arg == "-h") {
            if (line.Action == TCommandLine::Play)
                line.Action = TCommandLine::ShowHelp;
        } else if (arg == "--version") {
            if (line.Action == TCommandLine::Play)
                line.Action = TCommandLine::ShowVersion;
        } else if (arg == "--game-folder") {
            line.GameFolder = true;
        } else if (arg == "--no-router") {
            line.NoRouter = true;
        } else {
            line.Action = TCommandLine::Refuse;
            line.Error = std::string("marevo: ") +
                         (arg.starts_with('-') ? "知らないオプションです: " : "余分な引数です: ") +
                         std::string(arg) + " (使い方は marevo --help)";
            return line;
        }
    }
    return line;
}

std::string UsageText() {
    return "使い方: marevo [--game-folder] [--no-router]\n"
           "ヨットの3Dセーリングゲーム Marevo を始めます。\n"
           "\n"
           "  --game-folder  自分のゲームフォルダ (~/.local/share/marevo) で遊ぶ。\n"
           "                 初めてのときにフォルダを作り、見本の HALTEX.BMP と\n"
           "                 SPINTEX.BMP を置く。メニューから始めたときはこちら\n"
           "  --no-router    ネットワーク対戦で、ルータにポートの転送を頼まない\n"
           "                 (MAREVO_DPLAY_ROUTER=0 と同じ)\n"
           "  --help         この説明を表示して終わる\n"
           "  --version      版を表示して終わる\n"
           "\n"
           "--game-folder がなければ、始めたフォルダの HALTEX.BMP (船体) と\n"
           "SPINTEX.BMP (スピンネーカー) を使い、受け取った船体を ENTEX.BMP に書きます。\n";
}

std::string VersionText() {
    return std::string("marevo ") + MAREVO_VERSION + "\n";
}
