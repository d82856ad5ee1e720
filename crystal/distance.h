// The distance between two positions in fractional coordinates of a general cell, and its
// standard uncertainty propagated to first order from the six cell parameters and the six
// coordinates, all taken as independent. Distances and their uncertainties in Å.
#pragma once

#include <array>

#include "crystal/matrix.h"

namespace tarnell {

// What every distance in one cell needs: the cell, its uncertainties, and the cosines and sines
// of its angles. Made once, it serves any number of distances.
struct CellGeometry {
    std::array<double, 6> cell{};       // a, b, c, alpha, beta, gamma
    std::array<double, 6> cellSigma{};  // same order; angle uncertainties in degrees
    std::array<double, 3> cosines{};    // of alpha, beta, gamma
    std::array<double, 3> sines{};
};

CellGeometry makeCellGeometry(const std::array<double, 6>& cell,
                              const std::array<double, 6>& cellSigma);

// The distance from p1 to p2.
double distanceIn(const CellGeometry& geometry, const std::array<double, 3>& p1,
                  const std::array<double, 3>& p2);

// The standard uncertainty of the distance d = distanceIn(geometry, p1, p2), with s1 and s2 the
// coordinate uncertainties of p1 and p2. A distance of 0 (coinciding positions) has nothing to
// propagate and gives 0.
//
// When p2 is the image R·x + t of a site x whose own uncertainties are s2, `imageRotation` is R:
// the derivatives by the image's coordinates are then carried back to the site's own, so that
// bonds that symmetry makes equal get equal uncertainties.
double distanceSigma(const CellGeometry& geometry, const std::array<double, 3>& p1,
                     const std::array<double, 3>& p2, const std::array<double, 3>& s1,
                     const std::array<double, 3>& s2, double d,
                     const Matrix3* imageRotation = nullptr);

}  // namespace tarnell
