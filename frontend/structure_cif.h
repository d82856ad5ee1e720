// The form's structure as a CIF, so that a structure typed or edited in Kestrin can be kept in
// the format other crystallographic programs read.
#pragma once

#include <string>

#include "crystal/crystal_structure.h"

namespace tarnell {

// The structure as the text of a CIF with one block: title, cell, space group with its
// operators (when the symbol names a group of that number), atom types with their oxidation
// numbers, and the sites with occupancies. Reals carry five decimals, with the uncertainty in
// brackets where there is one, so that reading the file back gives the same numbers as the
// native file would.
std::string structureCifText(const CrystalStructure& structure);

}  // namespace tarnell
