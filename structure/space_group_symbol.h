// Space-group symbols as files write them: full or short ("P 1 21/n 1", "P 21/n"), with or
// without blanks ("Pbnm", "Fd-3m"), with a qualifier for origin choice or axes (":2", and the
// ICSD letters "Z", "S", "H", "R" after the symbol). gemmi's table of symbols tells the group and
// setting that such a symbol names; this unit places them in the settings of the shipped
// space-group data file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/matrix.h"

namespace tarnell {

// A setting of a group as a symbol names it.
struct NamedSetting {
    int number = 0;
    // The setting number in the space-group data file; 0 for a setting the file does not hold
    // (a centred triclinic cell, an unusual monoclinic cell).
    int setting = 0;
    // The orthorhombic axis setting (1 standard, 2 to 6 the others) that the coordinates must be
    // converted from before the data file's record applies.
    int axes = 1;
    std::string uniqueAxis;    // "a", "b", "c" for a monoclinic setting
    std::string name;          // gemmi's full symbol, with ":1", ":2", ":H", ":R" where it has one
    std::string standardName;  // the symbol of the group's standard axes
    std::vector<std::string> operators;  // every operator of the setting, centring included
};

// The symbol without its qualifier, and the qualifier as gemmi writes it ('1', '2', 'H', 'R';
// 0 for none). "F d -3 m Z" gives F d -3 m and '2', "R -3 R" R -3 and 'R', "P 4/n:2" P 4/n and
// '2'.
struct SymbolParts {
    std::string symbol;
    char qualifier = 0;
};
SymbolParts splitQualifier(const std::string& text);

// The settings that `text` can name, the most likely first. A symbol without a qualifier leaves
// the origin choice open (origin choice 1 first) and the axes of a rhombohedral group to the
// cell (gemmi's test: hexagonal unless gamma < 1.125 alpha); a short monoclinic symbol leaves the
// unique axis open (the axis of the cell's one angle that is not 90° first, then b). Empty for a
// symbol that gemmi does not know.
std::vector<NamedSetting> settingsOfSymbol(const std::string& text,
                                           const std::array<double, 6>& cell);

// The same for an operator list that is the group of a setting gemmi holds, operator for
// operator modulo lattice translations; empty otherwise. The settings of `statedNumber`, the
// number the file states beside them, are tried first.
std::vector<NamedSetting> settingsOfOperators(const std::vector<std::string>& operators,
                                              int statedNumber = 0);

// The standard setting of a group number (1 to 230); number 0 for any other.
NamedSetting standardSetting(int number);

// Whether the space-group data file holds this setting of the group.
bool isHeldSetting(int number, int setting);

// An x,y,z triplet as rows of a rotation and a translation, exactly as gemmi reads it; false
// for a text that gemmi cannot read.
bool readTriplet(const std::string& text, Matrix3& rotation, std::array<double, 3>& translation);

// The crystal-system code (1 triclinic .. 7 cubic) of a group number; 1 for an unknown number,
// with which no cell uncertainty is copied.
CrystalSystem crystalSystemOfNumber(int number);

}  // namespace tarnell
