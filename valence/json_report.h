// The whole result of one calculation as JSON, for scripts and databases: the same numbers as
// the text report, unrounded, with the input, the settings and the failure when there is one.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "settings/settings_file.h"
#include "valence/bond_search.h"
#include "valence/distance_list.h"
#include "valence/valence_summary.h"
#include "valence/valence_sums.h"

namespace tarnell {

// Bumped whenever a field changes its meaning or goes away; new fields keep it.
inline constexpr int JsonFormatVersion = 1;

// What one calculation produced, phase by phase; what a failed run did not reach stays empty.
struct CalculationResult {
    std::string inputPath;
    std::string inputFormat;  // "inp", "lst", "txt" or "cif"
    Settings settings;
    Status status;  // failed with the failing phase's message
    bool structureRead = false;
    CrystalStructure structure;
    std::vector<std::string> operatorTexts;
    std::vector<IonContact> contacts;
    std::vector<DistanceEntry> entries;
    std::vector<SiteSums> sums;
    std::vector<std::string> references;
    bool summaryMade = false;
    ValenceSummary summary;
};

// The result as a JSON document of JsonFormatVersion, indented.
std::string resultJson(const CalculationResult& result, const std::string& programVersion);

}  // namespace tarnell
