// The bond valence parameter table BVTable: r0 for cation–anion pairs, each line with a short
// reference identifier, followed by a reference section. The table is read once and searched in
// memory; a pair matches by the exact element symbols of its first and third fields.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "settings/status.h"

namespace tarnell {

inline constexpr int MaxParameterSets = 20;
inline constexpr int MaxReferences = 193;
inline constexpr const char* ReferenceHeader =
    ";************************* REFERENCES ****************************";
// The table's mark for a cation whose oxidation state the line leaves open.
inline constexpr int UnspecifiedValence = 9;
// Bounds of a line that can be a bond valence parameter at all: R0 in Å, the valences.
inline constexpr double MaxR0 = 10.0;
inline constexpr int MaxTableValence = 9;

// One data line: "Fe 3 O 2 1.759 a 0.37" — cation, its valence, anion, its valence (no sign), r0
// in Å, reference identifier and, optionally, the line's own b in Å.
struct ParameterLine {
    std::string cation;
    int cationValence = 0;
    std::string anion;
    int anionValence = 0;  // without its sign, as the table writes it
    double r0 = 0.0;
    std::string reference;
    double b = 0.0;  // 0: the line gives none, and BV-B of the settings is its b
};

// The ion key of the table's texts: "Fe3+", "O2-".
std::string cationKey(const ParameterLine& line);
std::string anionKey(const ParameterLine& line);

// One parameter alternative of a bond: its ion keys (Fe3+, O2-), r0 and reference identifier.
struct BondParameter {
    std::string cationKey;
    std::string anionKey;
    double r0 = 0.0;
    std::string reference;
};

struct ParameterTable {
    std::vector<ParameterLine> lines;  // the data lines, in file order
};

// Reads the data lines: lines that begin with a field in the first column, have six fields, whose
// valences read as whole numbers and whose fifth field reads as a number; a seventh field that
// reads as a positive number is the line's b, anything else after the sixth field is passed over.
// Fails with the message when the table cannot be opened or holds no data line; `path` names
// the table in messages.
Status loadParameterTable(const std::filesystem::path& path, ParameterTable& table);
Status loadParameterTable(std::istream& in, const std::filesystem::path& path,
                          ParameterTable& table);

// The lines of `table` whose b is `b`, the lines without one included: those that the sums of
// the report's first sections use, all with the one b of the settings.
ParameterTable linesWithB(const ParameterTable& table, double b);

// Whether some data line has `cation` as its first field and `anion` as its third.
bool hasBondParameters(const ParameterTable& table, const std::string& cation,
                       const std::string& anion);

// Every alternative for the pair, in file order.
std::vector<BondParameter> lookupBondParameters(const ParameterTable& table,
                                                const std::string& cation,
                                                const std::string& anion);

// Reads the `entryNum` reference lines after the reference header (and the line that follows
// it), each without its first three characters. A table with fewer lines gives those present.
Status readReferenceList(const std::filesystem::path& path, int entryNum,
                         std::vector<std::string>& references);
Status readReferenceList(std::istream& in, int entryNum, std::vector<std::string>& references);

// The parameter table as a calculation uses it, read once for any number of calculations.
struct ParameterTables {
    ParameterTable whole;                 // every line, each with its own b: the valence summary's
    ParameterTable window;                // the lines of the settings' b: the distance list's
    std::vector<std::string> references;  // the report's reference list
    // The table's file name and the IUCr table it was made from, as its header names it:
    // "BVTable from bvparm2020.cif (data_BOND_VALENCE_PARAMETERS_2020-11-25)".
    std::string source;
    // Failed when the table cannot be read at all: every calculation then ends with it once its
    // structure is read.
    Status loaded;
    // Failed when the sums cannot be made (no reference section, BV-B not positive): the
    // distance list still stands.
    Status referencesRead;
};

// The table at `path`, or from `in` (`path` naming it), as `settings` use it. Never fails
// itself: what went wrong stands in `loaded` and `referencesRead`.
ParameterTables readParameterTables(const std::filesystem::path& path, const Settings& settings);
ParameterTables readParameterTables(std::istream& in, const std::filesystem::path& path,
                                    const Settings& settings);

}  // namespace tarnell
