#include "ChatLines.h"

#include "platform/rtl/InertText.h"

std::string ChatLine(std::string_view Name, std::string_view Text) {
    return InertText(Name) + ":\t" + InertText(Text);
}

std::string ArrivalLine(std::string_view Name) {
    return InertText(Name) + "さんが、来ました";
}

std::string DepartureLine(std::string_view Name) {
    return InertText(Name) + "さんが、逃げました";
}
