#pragma once
// The lines of the chat window, in UTF-8. Every name and text in them may come from another
// machine, so each goes through InertText: only the game's own words and its tab after the
// name can shape a line.

#include <string>
#include <string_view>

std::string ChatLine(std::string_view Name, std::string_view Text);
std::string ArrivalLine(std::string_view Name);
std::string DepartureLine(std::string_view Name);
