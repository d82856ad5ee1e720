// The valence summary: does each ion carry its formal valence, and how far is the structure as a
// whole from it? Every bond between ions of opposite sign takes the first table line that
// matches both ions and both valences (the table lists them in its order of reliability), with
// that line's own b; the global instability index sums the deviations over the cell.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "valence/bond_search.h"
#include "valence/parameter_table.h"

namespace tarnell {

// A site deviating from its valence by more than these shares is marked "*" or "**".
inline constexpr double MarkedDeviation = 0.10;
inline constexpr double StronglyMarkedDeviation = 0.20;

// A bond as the summary uses it: the bond record, the table line for both ions' valences and
// its bond valence with that line's own b.
struct SummaryBond {
    int bond = 0;  // index into the calculation's bonds
    ParameterLine parameter;
    double b = 0.0;           // the line's b, or BV-B where the line gives none
    double s = 0.0;           // g·exp((r0 - d)/b) of the neighbour's occupancy g
    double sigmaS = 0.0;      // s·σ(d)/b
    bool firstShell = false;  // in the site's first coordination shell
};

struct SiteSummary {
    int site = 0;          // index in the structure
    double valence = 0.0;  // formal valence V
    double bvs = 0.0;      // with the sign of V
    double sigma = 0.0;
    int coordination = 0;    // neighbour positions in the window
    int firstShell = 0;      // neighbour positions in the first shell (valence/first_shell.h)
    double deviation = 0.0;  // BVS - V
    double relative = 0.0;   // (BVS - V) / V
    std::string mark;        // "", "*" or "**"
    std::vector<std::string> references;
    std::string missing;   // "Fe3+ – P3-" when a bond has no parameters; then no sum
    int multiplicity = 0;  // images of the site in the cell
    std::vector<SummaryBond> bonds;
};

struct ValenceSummary {
    std::vector<SiteSummary> sites;  // the sites with a formal valence, in site order
    double gii = 0.0;                // v.u.
    double ionsInCell = 0.0;         // Σ m·g over the sites in the index
    double ionsWithValence = 0.0;    // Σ m·g over all sites of the summary
    double cationValences = 0.0;     // Σ m·g·V per cell
    double anionValences = 0.0;
    // +1 when only cations have a formal valence, -1 when only anions have one. Bonds join ions
    // of opposite sign, so every sum would be 0: `sites` is then empty and the GII 0.
    int onlySign = 0;
    // With onlySign: the other sign's sites do have valences, but every one has occupancy 0.
    bool signUnoccupied = false;
};

// True when at least one site has parameters for all its bonds, so that the GII means something.
inline bool hasIndex(const ValenceSummary& summary) {
    return summary.ionsInCell > 0.0;
}

// The number of distinct images of `site` in one cell under `operators`.
int multiplicityInCell(const CrystalStructure& structure, const Site& site,
                       const OperatorTable& operators);

// The summary of the bonds between ions of opposite formal valence among `bonds`.
ValenceSummary summariseValences(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<Bond>& bonds, const ParameterTable& table,
                                 double bvB);

}  // namespace tarnell
