// The whole result of one calculation as JSON, for scripts and databases: the same numbers as
// the text report, unrounded, with the input, the settings and the failure when there is one.
#pragma once

#include <string>

#include "valence/calculation.h"
#include "valence/json_writer.h"

namespace tarnell {

// Bumped whenever a field changes its meaning or goes away; new fields keep it.
inline constexpr int JsonFormatVersion = 2;

// What the JSON says of the run besides its result.
struct RunDescription {
    std::string programVersion;
    std::string inputPath;
    std::string inputFormat;  // "inp", "lst", "txt" or "cif"
};

// The result as a JSON document of JsonFormatVersion, indented.
std::string resultJson(const CalculationResult& result, const RunDescription& run);

// The same document written to `out`, value by value.
void writeResult(DocumentWriter& out, const CalculationResult& result, const RunDescription& run);

}  // namespace tarnell
