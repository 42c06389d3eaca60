// The application identifier's text comes from form descriptions: it is read or refused with
// EDDPD, and what is read writes back in the canonical form.
#include "ddpd/DDPD.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    ddpd::TDDPD component;
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    try {
        component.SetAppGuid(text);
    } catch (const ddpd::EDDPD&) {
        if (component.AppGuid() != "{00000000-0000-0000-0000-000000000000}")
            std::abort(); // a refused text must leave the identifier alone
        return 0;
    }
    const std::string canonical = component.AppGuid();
    component.SetAppGuid(canonical);
    if (component.AppGuid() != canonical || canonical.size() != 38)
        std::abort();
    return 0;
}
