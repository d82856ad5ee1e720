// The bond valence sums: for every site, the sum of g·exp((r0 - d) / b) over its distance
// entries (g the occupancy of the neighbour's site), with its standard uncertainty from sigma(d)
// and its coordination number, once for every parameter alternative; appended to the report
// with the reference list.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "settings/status.h"
#include "valence/distance_list.h"

namespace tarnell {

// Far more than any real coordination sphere, even of a large cation among split sites.
inline constexpr int MaxBondsPerSite = 60;

// One alternative of a site: every bond with its alternative number `number` (from 1) or, where
// the bond has fewer, its last one.
struct AlternativeSum {
    int number = 0;
    double bvs = 0.0;
    double sigma = 0.0;
    std::vector<BondParameter> parameters;  // per bond
    std::vector<double> valences;           // per bond: g·exp((r0 - d)/b)
};

struct SiteSums {
    int site = 0;              // index in the structure
    std::vector<int> entries;  // indices of its distance entries
    int coordination = 0;      // neighbour positions
    // In order; an alternative in which some bond has r0 = 0 is left out, the others keep
    // their numbers. Empty for a site without bonds.
    std::vector<AlternativeSum> alternatives;
};

// The sums of every site from the distance list `entries`. Fails with the message when a
// site has more than MaxBondsPerSite entries or an entry names no site of the structure.
Status computeSiteSums(const CrystalStructure& structure, const std::vector<DistanceEntry>& entries,
                       double b, std::vector<SiteSums>& sums);

// The "Bond valence sum" section and the reference list as the report prints them.
std::string valenceSumsText(const CrystalStructure& structure, const std::vector<SiteSums>& sums,
                            const std::vector<std::string>& references);

}  // namespace tarnell
