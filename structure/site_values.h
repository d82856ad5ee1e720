#pragma once

#include "crystal/crystal_structure.h"
#include "settings/status.h"

namespace tarnell {

// A coordinate further from the origin than this many cells has lost the digits that place it
// within its cell (a double holds about 16).
inline constexpr double MaxCoordinate = 1e6;
// An uncertainty of a fractional coordinate beyond a whole cell says nothing.
inline constexpr double MaxCoordinateSigma = 1.0;
// Occupancies above 1 by rounding of the file's figures pass; beyond this they are faults.
inline constexpr double MaxOccupancy = 1.05;
// No element has an oxidation state beyond this.
inline constexpr double MaxValence = 8.0;

// Done when every site's values can be computed with: finite coordinates within MaxCoordinate,
// their uncertainties from 0 to MaxCoordinateSigma, an occupancy from 0 to MaxOccupancy, a
// formal valence within +-MaxValence and a distance limit from 0 to MaxDMax; otherwise
// failed naming the first site and value that is not.
Status checkSiteValues(const CrystalStructure& structure);

}  // namespace tarnell
