#include "PlayerName.h"

#include "Wire.h"
#include "platform/rtl/ShiftJis.h"

namespace dplay {

bool ValidPlayerName(std::string_view Name) {
    return Name.size() <= kMaxNameSize && Name.find('\0') == std::string_view::npos &&
           ValidShiftJis(Name);
}

} // namespace dplay
