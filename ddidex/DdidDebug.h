#pragma once
// The input component's copy of the failure report: every reported failure writes a line to
// "ddid.debug" beside the executable and ends the program.

#include "dddd/ErrorReport.h"
#include "platform/rtl/SysUtils.h"

namespace ddidex {

class EDDID : public Exception {
public:
    using Exception::Exception;
};

dddd::TErrorReporter& DdidReporter();
inline int DebugLog(const std::string& Message) {
    return DdidReporter().DebugLog(Message);
}
inline std::int32_t ReportError(std::int32_t Code, const std::string& Message) {
    return DdidReporter().ReportError(Code, Message);
}

} // namespace ddidex
