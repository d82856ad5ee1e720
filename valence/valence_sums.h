// The bond valence sums: for every site, the sum of g·exp((r0 - d) / b) over its distance
// entries (g the occupancy of the neighbour's site), with its standard uncertainty from sigma(d)
// and its coordination number, once for every parameter alternative; appended to the report
// with the reference list.
#pragma once

#include <filesystem>
#include <string>

#include "valence/distance_list.h"
#include "settings/settings_file.h"
#include "structure/crystal_structure.h"

namespace tarnell {

// Far more than any real coordination sphere, even of a large cation among split sites.
inline constexpr int MaxBondsPerSite = 60;

// Appends the "Bond valence sum" section and the reference list to the report at `outputPath`.
// 0 on success; -1 with one message line otherwise, the report then left as it was.
int computeValenceSums(const CrystalStructure& structure, int distanceCount,
                       const DistanceListFiles& files, const std::filesystem::path& bvTable,
                       const Settings& settings, const std::filesystem::path& outputPath,
                       std::string& message);

}  // namespace tarnell
