// The two lookups in the space-group files named by the settings: the setting-transformation
// file, which tells the cell choice or orthorhombic setting that a symbol denotes, and the
// space-group data file, whose record for a number and setting gives the crystal system and
// the symmetry operators.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/wording.h"
#include "structure/crystal_structure.h"

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

// Engine: finds the record of structure.sgNumber and structure.sgSetting, replaces sgName by the
// record's symbol and sets crystalSystem. A record that the symmetry expansion could not take
// whole (too many operators, an unknown centring) is refused. 0 on success, -1 with a message.
int readSpaceGroupRecord(const std::filesystem::path& spgraFile, CrystalStructure& structure,
                         SpaceGroupRecord& record, std::string& message);

// The crystal-system code (1 triclinic .. 7 cubic) of a Laue class index.
int crystalSystemOfLaueIndex(int laueIndex);

enum class SettingLookup { Monoclinic = 0, Orthorhombic = 1 };

// Both programs: for a monoclinic group, sets sgSetting to the cell choice that the symbol denotes
// on the structure's unique axis; for an orthorhombic group in a non-standard setting, converts
// cell, coordinates and their uncertainties to the standard setting. 0 on success, -1 with a
// message in the caller's wording.
int resolveSpaceGroupSetting(SettingLookup lookup, CrystalStructure& structure,
                             const std::filesystem::path& sgTransFile, const Wording& wording,
                             std::string& message);

}  // namespace tarnell
