// Which neighbours are bonds, and with which parameters: the search's neighbours become the
// bonds of a calculation, one record each, keyed by site index.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "search/neighbour_search.h"
#include "settings/status.h"
#include "valence/parameter_table.h"

namespace tarnell {

// Real structures with large cells and windows need tens of thousands of bonds, and a supercell
// as many per site as its small cell; beyond this a run is almost surely a mistake of its
// settings (a window of tens of cells) and not a structure.
inline constexpr int MinDistanceEntries = 20000;
inline constexpr int DistanceEntriesPerSite = 250;
inline int maxDistanceEntries(std::size_t siteCount) {
    const std::size_t scaled = siteCount * DistanceEntriesPerSite;
    return scaled > MinDistanceEntries ? static_cast<int>(scaled) : MinDistanceEntries;
}
// Capacity of every bond kept, listed or only summarised.
inline int maxBondsKept(std::size_t siteCount) {
    return 5 * maxDistanceEntries(siteCount);
}

// One neighbour of a central site within its window that is a bond of the distance list (the
// table has lines of BV-B for the pair) or of the valence summary (the two ions have formal
// valences of opposite sign), or of both.
struct Bond {
    int centre = 0;     // site index
    int neighbour = 0;  // site index
    NeighbourImage image;
    std::array<double, 3> position{};  // fractional coordinates of the neighbour's image
    double d = 0.0;                    // Å, unrounded
    double sigma = 0.0;                // Å
    // The number in the distance list, from 1; 0 for a bond that only the valence summary has.
    int number = 0;
    // The distance list's parameter alternatives (lines of BV-B), and for each its bond valence
    // g·exp((r0 - d)/b), g the occupancy of the neighbour's site.
    std::vector<BondParameter> alternatives;
    std::vector<double> s;
};

// The parameter alternatives of a bond from `centre` to `neighbour`, empty when the two form no
// bond. Two ions of the same sign never bond. A pair with lines in both orders (S–Se, As–S)
// takes the lines whose first ion is the positive one, and the centre-first lines when charges
// do not tell (a listing before its charges are set); a pair with lines in one order takes
// those.
std::vector<BondParameter> bondParameters(const ParameterTable& table, const Site& centre,
                                          const Site& neighbour);

// Finds every bond of every site of `structure` under `operators` with the window and
// translations of `settings` and the distance list's parameters from `windowTable` (the lines
// of the settings' b), in the order of the search. Fails with one message line when the list
// would exceed maxDistanceEntries, the bonds kept maxBondsKept, or a pair has more than
// MaxParameterSets alternatives.
Status findBonds(const CrystalStructure& structure, const OperatorTable& operators,
                 const Settings& settings, const ParameterTable& windowTable,
                 std::vector<Bond>& bonds);

}  // namespace tarnell
