// Squared lengths of differences of fractional coordinates through the metric of a cell, and how
// far a sphere reaches along each fractional axis. The neighbour search uses them to pass over
// images cheaply; every distance it hands over is measured by distanceIn.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "crystal/distance.h"

namespace tarnell {

// A cheap squared distance through the metric, to pass over the images that lie far outside
// the window and to compare images with each other; whatever lies near the window's edges is
// measured exactly by distanceIn.
struct Metric {
    double aa, bb, cc, bc2, ca2, ab2;

    explicit Metric(const CellGeometry& g)
        : aa(g.cell[0] * g.cell[0]),
          bb(g.cell[1] * g.cell[1]),
          cc(g.cell[2] * g.cell[2]),
          bc2(2.0 * g.cell[1] * g.cell[2] * g.cosines[0]),
          ca2(2.0 * g.cell[2] * g.cell[0] * g.cosines[1]),
          ab2(2.0 * g.cell[0] * g.cell[1] * g.cosines[2]) {}

    double squared(double u, double v, double w) const {
        return u * u * aa + v * v * bb + w * w * cc + v * w * bc2 + w * u * ca2 + u * v * ab2;
    }

    // The smallest eigenvalue of the metric tensor: no difference vector u is shorter than
    // sqrt(smallestEigenvalue()·|u|²) Å.
    double smallestEigenvalue() const {
        const double a11 = aa, a22 = bb, a33 = cc;
        const double a12 = ab2 / 2, a13 = ca2 / 2, a23 = bc2 / 2;
        const double offDiagonal = a12 * a12 + a13 * a13 + a23 * a23;
        const double q = (a11 + a22 + a33) / 3;
        const double p = std::sqrt(((a11 - q) * (a11 - q) + (a22 - q) * (a22 - q) +
                                    (a33 - q) * (a33 - q) + 2 * offDiagonal) /
                                   6);
        if (p == 0.0) return q;
        const double b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
        const double b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
        const double half = (b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                             b13 * (b12 * b23 - b22 * b13)) /
                            2;
        const double phi = std::acos(std::clamp(half, -1.0, 1.0)) / 3;
        constexpr double TwoPiOverThree = 2.0943951023931957;
        return q + 2 * p * std::cos(phi + TwoPiOverThree);
    }

    // The lengths of the reciprocal axes, one over the spacings of the (100), (010) and (001)
    // planes: a sphere of radius r spans r·reciprocalLengths()[c] along fractional axis c.
    // Infinite for a cell without volume, whose spheres no fractional box bounds.
    std::array<double, 3> reciprocalLengths() const {
        const double ab = ab2 / 2, ca = ca2 / 2, bc = bc2 / 2;
        const double cofactors[3] = {bb * cc - bc * bc, cc * aa - ca * ca, aa * bb - ab * ab};
        const double det = aa * cofactors[0] + ab * (bc * ca - ab * cc) + ca * (ab * bc - bb * ca);
        std::array<double, 3> lengths{};
        for (int c = 0; c < 3; ++c) {
            const double squared = cofactors[c] / det;
            lengths[c] = det > 0.0 && std::isfinite(squared) && squared > 0.0
                             ? std::sqrt(squared)
                             : std::numeric_limits<double>::infinity();
        }
        return lengths;
    }
};

}  // namespace tarnell
