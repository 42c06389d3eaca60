#pragma once
// The program's few switches. None of them is a setting of the game: they ask for help or the
// version, or for the player's own game folder instead of the folder the game was started in.

#include <string>

struct TCommandLine {
    enum TAction { Play, ShowHelp, ShowVersion, Refuse };
    TAction Action = Play;
    bool GameFolder = false;
    // The home router is left alone: no port is forwarded, nothing is asked.
    bool NoRouter = false;
    // For Refuse: one line for standard error, without its line end.
    std::string Error;
};

// Reads Argv[1..Argc-1]. The first switch asking for help or the version wins; anything
// unknown is refused, even after one of those.
TCommandLine ParseCommandLine(int Argc, const char* const* Argv);

std::string UsageText();
std::string VersionText();

// The exit code for a refused command line.
inline constexpr int kUsageExitCode = 2;
