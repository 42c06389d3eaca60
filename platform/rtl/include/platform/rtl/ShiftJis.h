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

// Whether every byte belongs to a whole Shift-JIS character: one byte 0x00-0x7F or 0xA1-0xDF
// (half-width katakana), or a lead byte 0x81-0x9F or 0xE0-0xFC (the user-defined rows
// 0xF0-0xF9 included) followed by a trail byte 0x40-0x7E or 0x80-0xFC. Only the byte
// structure is judged: a well-formed pair that no table assigns still passes, and
// ShiftJisToUtf8 shows it as U+FFFD.
bool ValidShiftJis(std::string_view Bytes);
