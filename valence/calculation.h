// One calculation as a value: a structure and its inputs (settings, parameter table,
// space-group data, all read already) in, one result out. The report, the JSON, the batch's
// table, Kestrin and the Python module are renderings of that result; nothing here touches a
// file.
#pragma once

#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "settings/settings_file.h"
#include "settings/status.h"
#include "structure/space_group_lookup.h"
#include "valence/bond_search.h"
#include "valence/parameter_table.h"
#include "valence/valence_assignment.h"
#include "valence/valence_summary.h"
#include "valence/valence_sums.h"

namespace tarnell {

// How far a calculation got; each stage's parts of the result are filled from it on.
enum class CalculationStage {
    NotRead,    // the structure could not be read: only the status says why
    Read,       // read (notes and structure), failed before its bonds were listed
    Listed,     // the distance list stands; the sums failed
    Summarised  // sums and valence summary made
};

struct CalculationResult {
    Status status;  // failed with the failing phase's message
    CalculationStage stage = CalculationStage::NotRead;
    Settings settings;  // the conditions of the calculation
    std::string table;  // the parameter table and its origin (ParameterTables::source)
    // Sites overfill a position or have an occupancy outside 0 to 1 (notes say which): the
    // sums and the GII are doubtful.
    bool overfilled = false;
    // The structure as calculated: the space-group record's symbol and crystal system, the cell
    // uncertainties that the crystal system makes equal copied, the reader's notes.
    CrystalStructure structure;
    std::vector<std::string> operatorTexts;  // numbered from 1 as the site codes number them
    OperatorTable operators;
    // Every bond of the distance list and of the valence summary, in the order of the search;
    // those of the list carry their numbers 1, 2, ... in that order.
    std::vector<Bond> bonds;
    int listedCount = 0;
    std::vector<SiteSums> sums;  // one per site
    std::vector<std::string> references;
    ValenceSummary summary;
    // The valences of the summary: the file's, or those assigned by bond valence for the sites
    // that state none (its outcome NotNeeded when every site states one).
    ValenceAssignment assignment;
    // Asked to check the stated valences: the assignment that ignores them and its summary.
    ValenceAssignment check;
    ValenceSummary checkSummary;

    bool read() const { return stage != CalculationStage::NotRead; }
    bool listed() const { return stage == CalculationStage::Listed || summarised(); }
    bool summarised() const { return stage == CalculationStage::Summarised; }
};

// Files of higher symmetry often give an uncertainty only for the independent cell parameter;
// this copies it onto the parameters that the crystal system makes equal to it. The values
// themselves are left alone.
void copyCellUncertainties(CrystalStructure& structure);

// The symmetry operators of `structure`: its own where the file listed them, else the
// space-group record's, expanded; sets the record's symbol and crystal system and copies the cell
// uncertainties the crystal system makes equal.
Status expandSymmetry(CrystalStructure& structure, const SpaceGroupData& spaceGroups,
                      OperatorTable& operators, std::vector<std::string>& operatorTexts);

// Everything a calculation takes besides its structure, each read once for any number of them.
struct CalculationInputs {
    const Settings& settings;
    const ParameterTables& tables;
    const SpaceGroupData& spaceGroups;
    bool checkValences = false;  // assign valences to every site, stated or not, beside the file's
};

// Calculates `structure`, a structure read (or built) with every site's element and distance
// limit set: cell check, space group, operators, bonds, sums and valence summary.
CalculationResult calculate(CrystalStructure structure, const CalculationInputs& inputs);

// The result of a structure that could not be read: its status only.
CalculationResult unreadResult(Status status, const Settings& settings);

}  // namespace tarnell
