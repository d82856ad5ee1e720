// Whether a file named as input can be read as a text file at all, checked before any reader
// opens it: a directory, a FIFO or a device, or a file with an endless line, would otherwise
// read as an empty file, block the run or take all memory.
#pragma once

#include <filesystem>
#include <string>

#include "settings/status.h"

namespace tarnell {

// Done when `path` is a regular file that can be read and has no line longer than
// MaxLineLength. Otherwise failed with one message: `notFound` (with the path) only when
// nothing exists at `path`, the wording's "cannot be read", "not a regular file" or "line too
// long" otherwise.
Status checkInputFile(const std::filesystem::path& path, MessageId notFound);

// The same check, and the file's whole content into `text` in the same pass.
Status readInputFile(const std::filesystem::path& path, MessageId notFound, std::string* text);

}  // namespace tarnell
