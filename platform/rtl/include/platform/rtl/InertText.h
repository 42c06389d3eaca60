#pragma once
// Text another machine chose (a player's name, a chat line, a session's name) goes on screen
// through InertText, so that it stays on the one line the game gives it and cannot pass for a
// line of the game's own (an arrival, a departure, someone else's chat).

#include <string>
#include <string_view>

// Utf8 with every character that could end the line, move other characters or hide itself
// replaced by something visible: C0 controls and DEL by their control pictures (a tab becomes
// U+2409, a line feed U+240A), line and paragraph separators, C1 controls and the invisible
// direction controls (U+061C, U+200E-200F, U+202A-202E, U+2066-2069) by "<U+XXXX>". Bytes that
// are not UTF-8 become U+FFFD each. Everything else is kept as it is.
std::string InertText(std::string_view Utf8);
