#pragma once
// The display component's copy of the failure report: every reported failure writes a line to
// "dddd.debug" beside the executable and ends the program.

#include "dddd/ErrorReport.h"

namespace dddd {

TErrorReporter& DdddReporter();
inline int DebugLog(const std::string& Message) {
    return DdddReporter().DebugLog(Message);
}
inline std::int32_t ReportError(std::int32_t Code, const std::string& Message) {
    return DdddReporter().ReportError(Code, Message);
}
inline void DebugLogThenHalt(const std::string& Message) {
    DdddReporter().DebugLogThenHalt(Message);
}

} // namespace dddd
