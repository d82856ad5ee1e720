// The bond valence parameter table BVTable: r0 for cation–anion pairs, each line with a short
// reference identifier, followed by a reference section. The table is read once per run and
// searched in memory; a pair matches by the exact element symbols of its first and third fields.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "settings/status.h"

namespace tarnell {

inline constexpr int MaxParameterSets = 20;
inline constexpr int MaxReferences = 193;
inline constexpr const char* ReferenceHeader =
    ";************************* REFERENCES ****************************";

// One data line: "Fe 3 O 2 1.759 a 0.37" — cation, its valence, anion, its valence (no sign), r0
// in Å, reference identifier and, optionally, the line's own b in Å.
struct ParameterLine {
    std::string cation;
    std::string cationValence;
    std::string anion;
    std::string anionValence;
    double r0 = 0.0;
    std::string reference;
    double b = 0.0;  // 0: the line gives none, and BV-B of the settings is its b
};

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

// Reads the data lines: lines that begin with a field in the first column, have six fields and
// whose fifth field reads as a number; a seventh field that reads as a positive number is the
// line's b, anything else after the sixth field is passed over. Fails with the engine's message
// when the table cannot be opened.
Status loadParameterTable(const std::filesystem::path& path, ParameterTable& table);

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

// The alternatives as they stand in the parameter list file: each "  %-4s %-4s %6.4lf %s".
std::string bondParameterText(const std::vector<BondParameter>& parameters);

// Reads the `entryNum` reference lines after the reference header (and the line that follows
// it), each without its first three characters. A table with fewer lines gives those present.
Status readReferenceList(const std::filesystem::path& path, int entryNum,
                         std::vector<std::string>& references);

}  // namespace tarnell
