#include "platform/rtl/ShiftJis.h"

#include <gtest/gtest.h>

TEST(ShiftJis, RoundTripsJapaneseText) {
    const std::string utf8 = "送る ｽﾋﾟﾝ MarevoＣｈａｔ";
    const std::string sjis = Utf8ToShiftJis(utf8);
    EXPECT_EQ(sjis.substr(0, 4), "\x91\x97\x82\xE9");
    EXPECT_EQ(ShiftJisToUtf8(sjis), utf8);
}

TEST(ShiftJis, InvalidBytesBecomeReplacementCharactersAndTheRestIsKept) {
    struct {
        std::string In;
        std::string Out;
    } cases[] = {
        {"A\x82", "A\uFFFD"}, // lead byte cut short at the end
        {"A\xA0"
         "B",
         "A\uFFFD"
         "B"}, // not a Shift-JIS byte
        {"\xFF\xFF\xFF", "\uFFFD\uFFFD\uFFFD"},
        {"\x82\x20"
         "C",
         "\uFFFD C"}, // lead byte without a valid trail
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShiftJisToUtf8(c.In), c.Out) << c.In;
}

TEST(ShiftJis, CharactersWithoutACodeBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToShiftJis("a\U0001F600b"), "a?b");
    EXPECT_EQ(Utf8ToShiftJis("a\xC3"), "a?");
}
