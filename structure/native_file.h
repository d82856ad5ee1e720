// The native structure file (.inp): the system's own positional text format for one structure,
// and the only one that crosses from the front end to the engine. Reader and writer agree line
// for line; the comment lines are counted, never compared.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "settings/wording.h"
#include "structure/crystal_structure.h"

namespace tarnell {

// Reads an opened native file; `path` only names it in messages. A number that does not scan
// leaves its field as it was. Fails on more than MaxSites sites and on a file that ends before
// its last site.
int readNativeFile(std::istream& in, const std::filesystem::path& path,
                   CrystalStructure& structure, const Wording& wording, std::string& message);

// Writes the record with every real rounded to five decimals. Refuses a record that the reader
// could not give back as it stands (a site name with blanks, a title on two lines).
int writeStructureFile(const CrystalStructure& structure, const std::filesystem::path& path,
                       std::string& message);

}  // namespace tarnell
