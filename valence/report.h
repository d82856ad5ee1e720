// The calculation report, rendered from a calculation's result: the crystal data, the symmetry
// operators, the distance list, the bond valence sums with the reference list and the valence
// summary. After a failed phase it holds what was reached and that phase's message, so the
// user always finds the outcome in the same file.
#pragma once

#include <string>

#include "valence/calculation.h"

namespace tarnell {

std::string reportText(const CalculationResult& result);

// One line of the distance list, without its line break: d and sigma(d) rounded to five
// decimals here, and only here.
std::string distanceLine(const CalculationResult& result, const Bond& bond);

}  // namespace tarnell
