// The calculation report: the one result of an engine run. After a failed phase it holds only
// that phase's message, so the user always finds the outcome in the same file.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "structure/crystal_structure.h"

namespace tarnell {

// Creates the report. With a non-zero `status` writes `message` and an empty line, nothing else,
// and returns -1; otherwise writes the crystal data and returns 0. A report that cannot be
// created is announced on `console` and gives -1.
int writeReport(int status, const std::filesystem::path& outputPath,
                const CrystalStructure& structure, const std::string& message,
                std::ostream& console);

}  // namespace tarnell
