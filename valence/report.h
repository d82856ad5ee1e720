// The calculation report: the one result of an engine run. After a failed phase it holds only
// that phase's message, so the user always finds the outcome in the same file.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "valence/distance_list.h"

namespace tarnell {

// The report up to its distance list and the empty line after it: the crystal data, the symmetry
// operators (numbered from 1, as the symmetry codes of the distance list number them) and the
// distance list. The sums and the valence summary follow it; a failed run's report is only its
// message and an empty line.
std::string reportText(const CrystalStructure& structure,
                       const std::vector<std::string>& operatorTexts,
                       const std::vector<DistanceEntry>& entries);

}  // namespace tarnell
