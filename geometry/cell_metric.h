// The metric of a unit cell: the six parameters a, b, c (Å) and alpha, beta, gamma (degrees) as
// the symmetric 3 × 3 tensor of the scalar products of the basis vectors.
#pragma once

#include <array>

#include "geometry/matrix.h"

namespace tarnell {

// Angle conversions as fixed decimals, not derived from pi: every angle the system converts goes
// through these, so that the same input always gives the same digits.
inline constexpr double DegToRad = 0.0174532925;
inline constexpr double RadToDeg = 57.29577957855229;

// G with G(i,i) = p_i² and G(i,j) = p_i·p_j·cos(angle between edges i and j), for the six values
// p = (a, b, c, alpha, beta, gamma). The same formula turns the six uncertainties into the
// tensor from which the edge uncertainties of another setting are taken.
Matrix metricTensor(const std::array<double, 6>& p);

}  // namespace tarnell
