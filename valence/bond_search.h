// Which neighbours are bonds, and with which parameters: the search's neighbours become the
// distance list of the run, one entry per bond.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "search/neighbour_search.h"
#include "settings/status.h"
#include "valence/distance_list.h"
#include "valence/parameter_table.h"

namespace tarnell {

// The parameter alternatives of a bond from `centre` to `neighbour`, empty when the two form no
// bond. Two ions of the same sign never bond. A pair with lines in both orders (S–Se, As–S)
// takes the lines whose first ion is the positive one, and the centre-first lines when charges
// do not tell (a listing before its charges are set); a pair with lines in one order takes
// those. The elements come from the labels.
std::vector<BondParameter> bondParameters(const ParameterTable& table, const Site& centre,
                                          const Site& neighbour);

// A neighbour of opposite formal valence within the window: a bond of the valence summary,
// whatever parameters the table has for it.
struct IonContact {
    int centre = 0;                    // site index
    int neighbour = 0;                 // site index
    std::array<double, 3> position{};  // fractional coordinates of the neighbour's image
    double d = 0.0;                    // Å
    double sigma = 0.0;                // Å
};

// Finds every bond of every site of `structure` under `operators` with the window and
// translations of `settings`, the parameters from the table at `bvTable`, and writes the distance
// list, with `entryCount` set (it may be 0); fails with one message line. Where
// `contacts` is given, it receives every neighbour of opposite formal valence, in the same pass.
Status searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                       const Settings& settings, const std::filesystem::path& bvTable,
                       const DistanceListFiles& files, int& entryCount,
                       std::vector<IonContact>* contacts = nullptr);

// The same with the table read already: `windowTable` holds the lines of the settings' b, those
// that the distance list uses (linesWithB).
Status searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                       const Settings& settings, const ParameterTable& windowTable,
                       const DistanceListFiles& files, int& entryCount,
                       std::vector<IonContact>* contacts = nullptr);

}  // namespace tarnell
