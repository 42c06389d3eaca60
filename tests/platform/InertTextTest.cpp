#include "platform/rtl/InertText.h"

#include <gtest/gtest.h>

TEST(InertText, ShowsWhatCouldBreakReorderOrHideALineAndKeepsTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        // Japanese, full- and half-width, four-byte characters and look-alikes of the stand-ins.
        {"やあ ｽﾋﾟﾝ Ｃｈａｔ \U0001F600 <U+1> \u2400\u3000",
         "やあ ｽﾋﾟﾝ Ｃｈａｔ \U0001F600 <U+1> \u2400\u3000"},
        {"a\r\nB\tC", "a\u240D\u240AB\u2409C"},
        {std::string("\0\x1B\v\f\x7F", 5), "\u2400\u241B\u240B\u240C\u2421"},
        {"a\u0085\u009B\u2028\u2029B", "a<U+0085><U+009B><U+2028><U+2029>B"},
        {"\u202A\u202B\u202C\u202D\u202E", "<U+202A><U+202B><U+202C><U+202D><U+202E>"},
        {"\u2066\u2067\u2068\u2069\u200E\u200F\u061C",
         "<U+2066><U+2067><U+2068><U+2069><U+200E><U+200F><U+061C>"},
        // Not UTF-8: a stray byte, a cut sequence, overlong line feeds, a surrogate, past U+10FFFF.
        {"a\xFF\xE3\x81", "a\uFFFD\uFFFD\uFFFD"},
        {"\xC0\x8A\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x80\x8A\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& [in, shown] : cases) {
        EXPECT_EQ(InertText(in), shown) << ::testing::PrintToString(in);
        EXPECT_EQ(InertText(shown), shown) << "shown again";
    }
}
