// The metric of a unit cell: the six parameters a, b, c (Å) and alpha, beta, gamma (degrees) as
// the symmetric 3 × 3 tensor of the scalar products of the basis vectors.
#pragma once

#include <array>
#include <string>

#include "crystal/matrix.h"
#include "settings/status.h"

namespace tarnell {

// Angle conversions as fixed decimals, not derived from pi: every angle the system converts goes
// through these, so that the same input always gives the same digits.
inline constexpr double DegToRad = 0.0174532925;
inline constexpr double RadToDeg = 57.29577957855229;

// G with G(i,i) = p_i² and G(i,j) = p_i·p_j·cos(angle between edges i and j), for the six values
// p = (a, b, c, alpha, beta, gamma). The same formula turns the six uncertainties into the
// tensor from which the edge uncertainties of another setting are taken.
Matrix3 metricTensor(const std::array<double, 6>& p);

// Whether six values make a cell: edges finite and above 0, angles strictly between 0 and 180
// degrees, and together a positive-definite metric (three angles of 170 degrees, for one, span no
// volume); uncertainties finite and not negative. Fails with the wording's message naming the
// first value that fails.
Status checkCell(const std::array<double, 6>& cell, const std::array<double, 6>& sigma);

}  // namespace tarnell
