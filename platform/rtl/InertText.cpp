#include "platform/rtl/InertText.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

struct TRange {
    char32_t First, Last;
};

// Characters Qt's plain text takes as the end of a line, or that reorder or hide their
// neighbours. C0 and DEL are not listed: they have pictures of their own.
constexpr TRange kEscaped[] = {
    {0x0080, 0x009F}, // C1, with NEL
    {0x061C, 0x061C}, // Arabic letter mark
    {0x200E, 0x200F}, // left-to-right and right-to-left marks
    {0x2028, 0x2029}, // line and paragraph separators
    {0x202A, 0x202E}, // embeddings and overrides
    {0x2066, 0x2069}, // isolates
};

constexpr char32_t kReplacement = 0xFFFD;

// Every character this file writes itself lies between U+0800 and U+FFFF: three bytes.
void AppendThreeByteUtf8(std::string& Out, char32_t C) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
}

// The character at the start of In and its length in bytes; U+FFFD and 1 for a byte that does
// not start a well-formed sequence (overlong forms and surrogates are not well formed, and an
// overlong line feed must not slip through as one).
std::pair<char32_t, std::size_t> NextCharacter(std::string_view In) {
    const auto at = [&](std::size_t I) { return static_cast<std::uint8_t>(In[I]); };
    const std::uint8_t lead = at(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || In.size() < length)
        return {kReplacement, 1};
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return {kReplacement, 1};
        c = (c << 6) | (at(i) & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return {kReplacement, 1};
    return {c, length};
}

bool Escaped(char32_t C) {
    for (const TRange& r : kEscaped)
        if (C >= r.First && C <= r.Last)
            return true;
    return false;
}

} // namespace

std::string InertText(std::string_view Utf8) {
    std::string out;
    out.reserve(Utf8.size());
    while (!Utf8.empty()) {
        const auto [c, length] = NextCharacter(Utf8);
        if (c < 0x20 || c == 0x7F) {
            AppendThreeByteUtf8(out, c == 0x7F ? char32_t{0x2421} : 0x2400 + c);
        } else if (Escaped(c)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "<U+%04X>", static_cast<unsigned>(c));
            out += escape;
        } else if (c == kReplacement) {
            AppendThreeByteUtf8(out, c);
        } else {
            out.append(Utf8.substr(0, length));
        }
        Utf8.remove_prefix(length);
    }
    return out;
}
