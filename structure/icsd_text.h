// The text export of the ICSD database (.txt), in its older layout (a line beginning " COL ") and
// its structured layout (a line beginning "*data"): title, space group, cell and atoms with their
// uncertainties in parentheses. The export keeps the cell choice or orthorhombic setting the
// authors used; the reader ends with the setting lookup, which may convert the structure to the
// standard setting.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "crystal/crystal_structure.h"
#include "settings/status.h"
#include "structure/structure_reader.h"

namespace tarnell {

// Reads an opened export (`path` is taken for the readers' common form; no message names it).
// Fails on a file of neither layout, a missing marker, a number that does not read, more than
// MaxSites atoms, and a failed setting lookup.
Status readIcsdText(std::istream& in, const std::filesystem::path& path,
                    CrystalStructure& structure, const ReaderContext& context);

}  // namespace tarnell
