#pragma once
// The debug log and failure report that each platform component carries a copy of. What a
// copy does with a message is fixed by its switches: raise an exception, write a numbered
// line to its log file beside the executable (or, where the program may not write, in the
// user's state folder), end the program.

#include <cstdint>
#include <functional>
#include <string>

namespace dddd {

struct TReportSwitches {
    std::string LogFileName;
    // When set, DebugLog raises through this instead of writing anything.
    std::function<void(const std::string&)> Raise;
    bool Log = true;
    bool Halt = true;
};

// The exit code of a program ended by a reported failure.
inline constexpr int kHaltExitCode = 1;

class TErrorReporter {
public:
    explicit TErrorReporter(TReportSwitches Switches);

    // Appends "debug#NNNNN ... Message" + CR LF to the log; the first line of a run truncates
    // the file. Always returns 0. A file that cannot be written raises EInOutError and does not
    // use up a line number.
    int DebugLog(const std::string& Message);
    // 0 passes silently. Otherwise Message + "(Error Code(HEX))" goes to DebugLog and, with the
    // halt switch, the program ends right after the line is on disk (or on standard error when
    // the log cannot be written). Returns Code.
    std::int32_t ReportError(std::int32_t Code, const std::string& Message);
    // A failure without a code that the halt switch still ends the program on: Message goes to
    // DebugLog and, with the halt switch, the program ends as in ReportError.
    void DebugLogThenHalt(const std::string& Message);

    // Where the log lies; rtl::LogFolder() unless a test moves it.
    void SetLogFolder(std::string Folder) { LogFolder = std::move(Folder); }
    std::string LogPath() const;
    std::int32_t LineCount() const { return LineCounter; }

private:
    TReportSwitches Switches;
    std::string LogFolder;
    std::int32_t LineCounter = 0;
};

// "(Error Code(%x))" with the code's unsigned 32-bit value in upper-case hex.
std::string ErrorCodeSuffix(std::int32_t Code);
// "debug#%.5d ... %s"
std::string FormatDebugLine(std::int32_t Number, const std::string& Message);

} // namespace dddd
