#pragma once
// Text crosses the wire in Shift-JIS (code page 932): chat, and the names of players and
// sessions. The program holds it as UTF-8.

#include <string>
#include <string_view>

// Characters Shift-JIS cannot hold become "?"; the result never contains a zero byte unless the
// input did.
std::string Utf8ToShiftJis(std::string_view Utf8);

// Bytes that are not valid Shift-JIS become U+FFFD each; the rest of the text is kept.
std::string ShiftJisToUtf8(std::string_view ShiftJis);
