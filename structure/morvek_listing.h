// The listing file of the Rietveld refinement program Morvek (.lst): title, space group, cell and
// sites of a refined phase, found under four marker lines. The listing has no formal charges: every
// site gets charge 0, and every site's distance limit is the caller's D-max.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "crystal/crystal_structure.h"
#include "settings/status.h"
#include "structure/structure_reader.h"

namespace tarnell {

// Reads an opened listing; `path` only names it in messages. Takes the space-group number and
// setting as the listing gives them (no setting lookup). Fails on a missing marker, on a number
// that does not read, on a site without its uncertainty line and on more than MaxSites sites.
Status readMorvekListing(std::istream& in, const std::filesystem::path& path,
                         CrystalStructure& structure, const ReaderContext& context);

}  // namespace tarnell
