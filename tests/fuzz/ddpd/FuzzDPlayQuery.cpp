// Session queries and their answers arrive from anyone on the network.
#include "platform/dplay/Wire.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (const auto query = dplay::DecodeQuery({Data, Size}))
        if (dplay::EncodeQuery(*query).size() != dplay::kQuerySize)
            std::abort();
    if (const auto reply = dplay::DecodeReply({Data, Size})) {
        const auto again = dplay::EncodeReply(*reply);
        if (again.size() != Size || again.size() > dplay::kMaxReplySize)
            std::abort();
    }
    return 0;
}
