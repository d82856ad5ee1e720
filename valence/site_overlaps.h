// Sites that fill one position more than once: an atom listed twice (a file that lists the whole
// cell together with its operators) would count every one of its bonds twice.
#pragma once

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"

namespace tarnell {

// Occupancies of one position may add up to this much above 1 from the rounding of the file.
inline constexpr double OccupancyRounding = 0.01;

// Two sites of one element on one position (within SamePositionTolerance, any image) whose equal
// occupancies add above 1 are one atom listed twice: the later one is removed, with a note naming
// both. Other positions filled above 1, and occupancies above 1 or below 0, are left as they are
// with a note each. Returns true when such a note was added: the sums are then doubtful.
bool resolveSiteOverlaps(CrystalStructure& structure, const OperatorTable& operators);

}  // namespace tarnell
