#include "dddd/ErrorReport.h"

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UserFolders.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace dddd {

TErrorReporter::TErrorReporter(TReportSwitches S) : Switches(std::move(S)) {}

std::string TErrorReporter::LogPath() const {
    return (LogFolder.empty() ? rtl::LogFolder() : LogFolder) + Switches.LogFileName;
}

int TErrorReporter::DebugLog(const std::string& Message) {
    if (Switches.Raise) {
        Switches.Raise(Message);
        return 0;
    }
    if (!Switches.Log)
        return 0;
    const std::string path = LogPath();
    std::ofstream f(path, LineCounter == 0 ? std::ios::binary | std::ios::trunc
                                           : std::ios::binary | std::ios::app);
    if (!f)
        throw EInOutError("cannot open " + path);
    ++LineCounter;
    f << FormatDebugLine(LineCounter, Message) << "\r\n";
    f.close();
    if (!f)
        throw EInOutError("cannot write " + path);
    return 0;
}

std::int32_t TErrorReporter::ReportError(std::int32_t Code, const std::string& Message) {
    if (Code == 0)
        return 0;
    DebugLogThenHalt(Message + ErrorCodeSuffix(Code));
    return Code;
}

void TErrorReporter::DebugLogThenHalt(const std::string& Message) {
    if (!Switches.Halt) {
        DebugLog(Message);
        return;
    }
    // A failure that ends the program must end it even when its log line cannot be written.
    try {
        DebugLog(Message);
    } catch (const EInOutError&) {
        std::fprintf(stderr, "%s\n", Message.c_str());
    }
    std::exit(kHaltExitCode);
}

std::string ErrorCodeSuffix(std::int32_t Code) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "(Error Code(%X))", static_cast<std::uint32_t>(Code));
    return buf;
}

std::string FormatDebugLine(std::int32_t Number, const std::string& Message) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "debug#%.5d ... ", Number);
    return buf + Message;
}

} // namespace dddd
