// Oxidation states by bond valence, for the sites whose file states none: each site may take
// the valences that the parameter table lists for its element with the counter-ions present,
// and of the charge-neutral assignments the one whose bond valence sums fit their valences best
// wins.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "valence/bond_search.h"
#include "valence/parameter_table.h"
#include "valence/valence_summary.h"

namespace tarnell {

enum class ValenceSource { None, File, Assigned };

enum class AssignmentOutcome {
    NotNeeded,  // every site with an element states its valence, and no check was asked
    Assigned,   // `valences` holds a charge-neutral assignment
    Failed      // no charge-neutral assignment: `reason` says why
};

struct ValenceAssignment {
    AssignmentOutcome outcome = AssignmentOutcome::NotNeeded;
    std::vector<double> valences;  // per site; 0 for a site without element or without bonds
    std::vector<ValenceSource> sources;
    std::string reason;   // one line, when the outcome is Failed
    double misfit = 0.0;  // Σ m·g·(BVS - V)² of the assignment chosen
    bool mixed = false;   // some element takes different states on different sites
    // No neutral assignment exists, but one that leaves the cell negative as unlocated protons
    // of its oxygen would: `charge` says by how much.
    bool protonsMissing = false;
    // No neutral assignment exists, and the file names no hydrogen: the cell keeps `charge`,
    // within a twentieth of its positive charge, as partial occupancies rounded may leave.
    bool chargeLeft = false;
    double charge = 0.0;  // Σ m·g·V of the assignment over the cell
    // Protons per cell that the file's formula holds and no site places: the assignment leaves
    // the cell that much negative.
    double hiddenProtons = 0.0;
    // The sites of one element that take the non-integer `average` valence, where no
    // whole-number states make the cell neutral; empty otherwise.
    std::vector<int> averagedGroupSites;
    double average = 0.0;
};

// Where the valences of `summary` come from: "stated", "assigned", "mixed" (some of each) or
// "none" (no summary).
const char* valencesOrigin(const ValenceSummary& summary, const ValenceAssignment& assignment);

// How `assignment` balanced the cell where whole-number states alone did not, one sentence a
// way (protons counted or possibly missing, one element's average, the charge left); none
// otherwise. The report prints them, the JSON carries them for Kestrin.
std::vector<std::string> balanceLines(const CrystalStructure& structure,
                                      const ValenceAssignment& assignment);

// Which sites of `structure` are anions: the element is an anion of the table and its nearest
// contact in `bonds` is no more electronegative than itself (S of pyrite and FeS, not of a
// sulfate; N of a nitride, not of a nitrate; H bonded to O is a cation).
std::vector<bool> anionSites(const CrystalStructure& structure, const std::vector<Bond>& bonds,
                             const ParameterTable& table);

// Pauling's electronegativity of `element`, 0 where unknown.
double electronegativity(const std::string& element);

// Assigns valences to the sites that state none (every site when `ignoreStated`) from the
// contacts in `bonds` and the lines of `table` (each with its own b, `bvB` where it gives none).
// Sites keep their stated valences otherwise. An element takes different states on different
// sites only when no single state for it gives a neutral cell, or when the mixed assignment
// leaves less than half the misfit of the best single state.
ValenceAssignment assignValences(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<Bond>& bonds, const ParameterTable& table,
                                 double bvB, bool ignoreStated);

}  // namespace tarnell
