// Forward searches for the next line of a text file that begins with a given text. They never
// rewind: a caller that wants to search from the start seeks there itself.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "settings/wording.h"

namespace tarnell {

// Reads lines until one begins with `prefix`; 0 with that line (without its line break) in
// `line`, -1 at the end of the file.
int findLine(std::istream& in, std::string_view prefix, std::string& line);

// The same search; at the end of the file it also writes the wording's "not found" message
// naming `key`.
int findKeyLine(std::istream& in, std::string_view key, std::string& line, std::string& message,
                const Wording& wording);

}  // namespace tarnell
