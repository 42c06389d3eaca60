#include "DdddDebug.h"

namespace dddd {

TErrorReporter& DdddReporter() {
    static TErrorReporter reporter({"dddd.debug", nullptr, true, true});
    return reporter;
}

} // namespace dddd
