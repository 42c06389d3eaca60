// Connection data handed back to InitializeConnection is checked before use.
#include "platform/dplay/Wire.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (const auto c = dplay::DecodeConnection({Data, Size})) {
        if (c->Size != Size || c->Host.size() > dplay::kMaxNameSize)
            std::abort();
        if (dplay::EncodeConnection(*c).size() != Size)
            std::abort();
    }
    return 0;
}
