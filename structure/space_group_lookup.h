// The two lookups in the space-group files named by the settings: the setting-transformation
// file, which tells the cell choice or orthorhombic setting that a symbol denotes, and the
// space-group data file, whose record for a number and setting gives the crystal system and
// the symmetry operators.
#pragma once

#include <array>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "settings/status.h"

namespace tarnell {

inline constexpr int MaxSpaceGroupRecords = 4000;

// What a record of the space-group data file hands to the symmetry expansion.
struct SpaceGroupRecord {
    int laueIndex = 0;            // 1 (-1) .. 15 (m-3m)
    int centrosymmetricFlag = 0;  // 1: only the operators without the inversion are listed
    int operatorLineCount = 0;
    std::array<int, 14> groupCodes{};  // the seventh is the centring code
    std::vector<std::string> operatorTexts;

    int centringCode() const { return groupCodes[6]; }
};

// The space-group data file, read once for any number of calculations.
struct SpaceGroupData {
    std::filesystem::path path;  // names the file in messages
    std::string text;
    // Failed when the file cannot be read: a calculation ends with it once its structure is read.
    Status loaded;
};

// The data file at `path`, which must be a readable regular file; never fails itself, what went
// wrong stands in `loaded`.
SpaceGroupData readSpaceGroupData(const std::filesystem::path& path);

// Finds the record of structure.sgNumber and structure.sgSetting, replaces sgName by the record's
// symbol and sets crystalSystem. A record that the symmetry expansion could not take whole (too
// many operators, an unknown centring) is refused with a message.
Status findSpaceGroupRecord(const SpaceGroupData& data, CrystalStructure& structure,
                            SpaceGroupRecord& record);

// The same from a data file's text opened by the caller; `spgraFile` names it in messages.
Status readSpaceGroupRecord(std::istream& in, const std::filesystem::path& spgraFile,
                            CrystalStructure& structure, SpaceGroupRecord& record);

// Engine: the record and the operator table of a structure that carries its own group
// (structure.symmetryOperators): its operators exactly as given, in their order, with nothing
// added; sets crystalSystem from the group number. Fails with a message for an
// operator that cannot be read or more operators than the table holds.
Status readFileGroup(CrystalStructure& structure, SpaceGroupRecord& record, OperatorTable& table);

// The crystal system of a Laue class index.
CrystalSystem crystalSystemOfLaueIndex(int laueIndex);

enum class SettingLookup { Monoclinic = 0, Orthorhombic = 1 };

// Both programs: for a monoclinic group, sets sgSetting to the cell choice that the symbol denotes
// on the structure's unique axis; for an orthorhombic group in a non-standard setting, converts
// cell, coordinates and their uncertainties to the standard setting. Fails with a
// message.
// `symbolMatched`, when given, tells whether a field of the file matched the symbol.
Status resolveSpaceGroupSetting(SettingLookup lookup, CrystalStructure& structure,
                                const std::filesystem::path& sgTransFile,
                                bool* symbolMatched = nullptr);

// Both programs: the group and setting of a symbol as a file writes it (full or short, with or
// without blanks, with a qualifier such as "Z" or ":2"), checked against the number the file
// gives (0: none) and put into structure.sgNumber, sgSetting and uniqueAxis. An orthorhombic
// structure in other axes is converted to the standard ones; a setting the data file does not
// hold brings its own operators. gemmi's table of symbols comes first, the setting-transformation
// file's fields second. A symbol known to neither, or one that names another group than the
// number, is refused with one line.
Status resolveSpaceGroupSymbol(const std::string& symbol, CrystalStructure& structure,
                               const std::filesystem::path& sgTransFile);

// Both programs, for files that state number and setting beside the symbol (native files,
// listings). A symbol that names another group than the number is refused; one that names
// another setting of the group is refused (Refuse) or taken, the structure converted as from an
// ICSD export in that setting (Adopt). A symbol that gemmi does not know, or that leaves the
// stated setting open, changes nothing.
enum class NamedSettingUse { Refuse, Adopt };
Status checkNamedSetting(NamedSettingUse use, CrystalStructure& structure);

}  // namespace tarnell
