#include "platform/rtl/ShiftJis.h"

#include <gtest/gtest.h>

#include <random>

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

TEST(ShiftJis, ValidityFollowsTheByteStructure) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"Marevo \x91\x97\x82\xE9", true},          // ASCII and kanji
        {"\xA1\xB6\xDF", true},                     // half-width katakana
        {"\x81\x40\x9F\xFC\xE0\x7E\xFC\x80", true}, // the edges of lead and trail
        {"\xF0\x40\xF9\xFC", true},                 // the user-defined rows
        {"\x85\x40", true},                         // well formed, though no table assigns it
        {"\t\r\n\x1B\x7F", true},                   // the screen shows these harmlessly
        {"A\x82", false},                           // a lead byte cut short
        {"\x82\x20", false},                        // trail below the range
        {"\x82\x7F", false},                        // DEL as a trail
        {"\x82\xFD", false},                        // trail above the range
        {"\x82\x0A", false},                        // a line feed as a trail
        {"\x80", false},
        {"\xA0", false},
        {"\xFD\x40", false},
        {"\xFF", false},
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(ValidShiftJis(bytes), valid) << ::testing::PrintToString(bytes);
}

// A host that refuses invalid names refuses none the game's own encoder makes, and whatever the
// decoder shows without a replacement character passes.
TEST(ShiftJis, ValidityAgreesWithTheGamesOwnEncoderAndDecoder) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> length(0, 8), byte(0, 255);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes;
        for (int n = length(random); n > 0; --n)
            bytes += static_cast<char>(byte(random));
        const std::string utf8 = ShiftJisToUtf8(bytes);
        EXPECT_TRUE(utf8.find("\uFFFD") != std::string::npos || ValidShiftJis(bytes)) << i;
        EXPECT_TRUE(ValidShiftJis(Utf8ToShiftJis(bytes)) && ValidShiftJis(Utf8ToShiftJis(utf8)));
    }
}
