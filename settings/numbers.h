// Numbers in the system's text files, read strictly and independently of the C locale: a token
// reads only when all of it is a number, because a half-read token would give a made-up value.
#pragma once

#include <optional>
#include <string_view>

namespace tarnell {

// The whole token as a finite real; a leading "+" is allowed (+2 is 2).
std::optional<double> readReal(std::string_view token);

// The whole token as an integer, blanks around it allowed, and a leading "+".
std::optional<int> readInteger(std::string_view token);

}  // namespace tarnell
