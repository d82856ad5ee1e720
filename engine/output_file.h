// Outputs are written whole or not at all: into a new file beside the target, which replaces the
// target only when everything reached the disk. A full disk, a killed run or a crash leave the
// old file as it was and no half file under the final name.
#pragma once

#include <filesystem>
#include <string>

namespace tarnell {

// Whether two paths lead to one file: the same file, or for a file that does not exist yet, the
// same place once links and dots are resolved.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Writes `text` as the whole content of `path`: a temporary file in the same folder, written whole
// and closed, then renamed over `path` (a link standing there is replaced, never followed). False,
// with the temporary file removed and `path` untouched, when anything fails.
bool replaceFile(const std::filesystem::path& path, const std::string& text);

// From now on SIGINT, SIGTERM and SIGHUP first remove the temporary files that replaceFile is
// writing, then end the program as the signal would have; a signal that is ignored stays so.
void removePartFilesOnSignals();

}  // namespace tarnell
