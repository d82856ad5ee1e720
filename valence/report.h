// The calculation report: the one result of an engine run. After a failed phase it holds only
// that phase's message, so the user always finds the outcome in the same file.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "structure/crystal_structure.h"
#include "valence/distance_list.h"

namespace tarnell {

// Creates the report. With a non-zero `status` writes `message` and an empty line, nothing else,
// and returns -1. Otherwise writes the crystal data, the symmetry operators (numbered from 1, as
// the symmetry codes of the distance list number them) and the first `distanceCount` lines of
// the distance list, and returns 0. A report that cannot be created is announced on `console`;
// a distance list that cannot be read back ends the report with the message put in `message`.
int writeReport(int status, const std::filesystem::path& outputPath,
                const CrystalStructure& structure, const std::vector<std::string>& operatorTexts,
                int distanceCount, const DistanceListFiles& distanceList,
                std::string& message, std::ostream& console);

}  // namespace tarnell
