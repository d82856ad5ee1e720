// The neighbour search: every symmetry image of every site, in the cells around the origin cell,
// that lies within the distance window of a central site and whose element pair has bond valence
// parameters becomes one distance entry. The entries go to two scratch files, read back by the
// report and the bond valence sums: line n of both files is entry n.
#pragma once

#include <filesystem>
#include <string>

#include "geometry/operator_expansion.h"
#include "settings/settings_file.h"
#include "structure/crystal_structure.h"

namespace tarnell {

inline constexpr int MaxDistanceEntries = 1200;

struct DistanceListFiles {
    std::filesystem::path distances;   // the distance list, "ftemp1.$$$"
    std::filesystem::path parameters;  // the parameter list, "ftemp2.$$$"
};

// The element symbol of a site label: its first character, and the second too when that is a
// lower-case letter (Fe1 gives Fe, O12 gives O, CA1 gives C).
std::string elementSymbol(const std::string& label);

// Names a neighbour image: the operator number from 1 and the three cell translations plus 5,
// as " 1_555" or "12_456".
std::string symmetryCode(int operatorNumber, int t1, int t2, int t3);

// Searches the distances of `structure` under `operators` with the window and translations of
// `settings`, the pairs decided by the parameter table at `bvTable`, and writes both scratch
// files. 0 with `entryCount` set (it may be 0); -1 with one message line on failure.
int searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                    const Settings& settings, const std::filesystem::path& bvTable,
                    const DistanceListFiles& files, int& entryCount, std::string& message);

}  // namespace tarnell
