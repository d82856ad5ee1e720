// The bond valence sums: for every site, the sum of s = exp((r0 - d) / b) over its distance
// entries, with its standard uncertainty from sigma(d) and its coordination number, once for
// every parameter alternative; appended to the report with the reference list.
#pragma once

#include <filesystem>
#include <string>

#include "geometry/neighbour_search.h"
#include "settings/settings_file.h"
#include "structure/crystal_structure.h"

namespace tarnell {

inline constexpr int MaxBondsPerSite = 20;

// Appends the "Bond valence sum" section and the reference list to the report at `outputPath`.
// 0 on success; -1 with one message line otherwise, the report then left as it was.
int computeValenceSums(const CrystalStructure& structure, int distanceCount,
                       const DistanceListFiles& files, const std::filesystem::path& bvTable,
                       const Settings& settings, const std::filesystem::path& outputPath,
                       std::string& message);

}  // namespace tarnell
