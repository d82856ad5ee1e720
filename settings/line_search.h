// Forward searches for the next line of a text file that begins with a given text. They never
// rewind: a caller that wants to search from the start seeks there itself.
#pragma once

#include <istream>
#include <string>
#include <string_view>

#include "settings/status.h"

namespace tarnell {

// Reads lines until one begins with `prefix`; true with that line (without its line break) in
// `line`, false at the end of the file.
bool findLine(std::istream& in, std::string_view prefix, std::string& line);

// The same search; at the end of the file it fails with the wording's "not found" message
// naming `key`.
Status findKeyLine(std::istream& in, std::string_view key, std::string& line);

}  // namespace tarnell
