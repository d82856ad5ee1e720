// The native structure file (.inp): the system's own positional text format for one structure,
// and the only one that crosses from the front end to the engine. Reader and writer agree line
// for line; the comment lines are counted, never compared.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "crystal/crystal_structure.h"
#include "settings/status.h"

namespace tarnell {

// Reads an opened native file; `path` only names it in messages. Every value must read whole
// and every line must hold exactly its values: a failure names the line and the token. Fails
// too on more than MaxSites sites and on a file that ends before its last site; the record is
// changed only on success.
Status readNativeFile(std::istream& in, const std::filesystem::path& path,
                      CrystalStructure& structure);

// Writes the record with every real rounded to five decimals; after the sites the structure's own
// operators and the sites' oxidation states (`Site::valence`) where it has them. Refuses a record
// that the reader could not give back as it stands (a site name with blanks, a title on two lines).
Status writeStructureFile(const CrystalStructure& structure, const std::filesystem::path& path);

}  // namespace tarnell
