#include "DdidDebug.h"

namespace ddidex {

dddd::TErrorReporter& DdidReporter() {
    static dddd::TErrorReporter reporter({"ddid.debug", nullptr, true, true});
    return reporter;
}

} // namespace ddidex
