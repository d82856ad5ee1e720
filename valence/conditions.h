// The conditions a result was made under, as the report's first lines: program, input, table and
// settings, so that a report can be reproduced and two reports compared.
#pragma once

#include <string>

#include "valence/calculation.h"
#include "valence/json_report.h"

namespace tarnell {

// The block that opens every report, ending in an empty line.
std::string conditionsText(const CalculationResult& result, const RunDescription& run);

}  // namespace tarnell
