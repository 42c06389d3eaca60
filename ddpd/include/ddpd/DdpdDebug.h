#pragma once
// The session component's copy of the failure report: a failure raises EDDPD to the caller
// with the Japanese text and the error-code suffix; nothing is logged and nothing halts.

#include "dddd/ErrorReport.h"
#include "platform/rtl/SysUtils.h"

namespace ddpd {

class EDDPD : public Exception {
public:
    using Exception::Exception;
    // The platform's result code when a failed platform call raised it, else 0: the dialog
    // tells the player what it means.
    std::int32_t Code = 0;
};

dddd::TErrorReporter& DdpdReporter();
inline int DebugLog(const std::string& Message) {
    return DdpdReporter().DebugLog(Message);
}
inline std::int32_t ReportError(std::int32_t Code, const std::string& Message) {
    try {
        return DdpdReporter().ReportError(Code, Message);
    } catch (EDDPD& e) {
        e.Code = Code;
        throw;
    }
}

} // namespace ddpd
