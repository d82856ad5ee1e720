// Conversion of an orthorhombic structure written in one of the six settings of its space group
// (the axis permutations abc, ba-c, cab, -cba, bca, a-cb, numbered 1 to 6) into the standard
// setting 1: cell, cell uncertainties, coordinates and coordinate uncertainties.
#pragma once

#include <string>

#include "crystal/crystal_structure.h"
#include "crystal/matrix.h"
#include "settings/status.h"

namespace tarnell {

// Smallest magnitude accepted as a pivot when the setting matrices are inverted.
inline constexpr double PivotTolerance = 1e-5;

// The 3 × 3 matrix whose rows are the basis vectors a', b', c' of setting k (1 to 6) in the
// standard basis. Any other k gives the zero matrix, which no inversion accepts.
Matrix3 orthorhombicSettingMatrix(int k);

// Rewrites `structure` from setting `setting` into the standard setting: its cell, cellSigma and
// every site's x, y, z, sx, sy, sz. Edges and their uncertainties are carried through the metric,
// the angles follow from it, the angle uncertainties stay where they are, and a coordinate that
// comes out negative gets 1 added once. Fails with the wording's message, and nothing changed,
// for a cell edge that is not positive (cellNotPositive) or a matrix that cannot be inverted
// (matrixNotPositive).
Status transformToStandardSetting(int setting, CrystalStructure& structure);

}  // namespace tarnell
