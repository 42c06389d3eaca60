#include "ddpd/DdpdDebug.h"

namespace ddpd {

dddd::TErrorReporter& DdpdReporter() {
    static dddd::TErrorReporter reporter(
        {"DDPD.debug", [](const std::string& m) { throw EDDPD(m); }, false, false});
    return reporter;
}

} // namespace ddpd
