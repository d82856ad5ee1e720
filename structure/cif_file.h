// CIF input: the first data block that has atom sites, with its cell, space group and sites
// and their standard uncertainties, in the record of both programs. The space group is found
// with gemmi and numbered in the settings of the shipped space-group data file; an orthorhombic
// structure in another axis setting is converted to the standard one.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "crystal/crystal_structure.h"
#include "settings/status.h"
#include "structure/structure_reader.h"

namespace tarnell {

Status readCifFile(std::istream& in, const std::filesystem::path& path, CrystalStructure& structure,
                   const ReaderContext& context);

}  // namespace tarnell
