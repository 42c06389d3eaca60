// Packets inside a session come from other machines: any bytes must decode or be refused, and
// what decodes must encode back to the same bytes.
#include "platform/dplay/Wire.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const auto packet = dplay::DecodePacket({Data, Size});
    if (packet) {
        const auto again = dplay::EncodePacket(*packet);
        if (again.size() != Size || !std::equal(again.begin(), again.end(), Data))
            std::abort();
    }
    return 0;
}
