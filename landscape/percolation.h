// Where the accessible region first runs through the periodic crystal: the points of a landscape
// are taken in the order of their values, each joined to its six grid neighbours already taken
// (across the cell's faces too); a cluster that meets one of its own points again one or more
// cells away wraps around along that lattice vector. The region percolates in as many dimensions
// as the wrapping vectors of one cluster span.
#pragma once

#include <array>
#include <optional>
#include <vector>

namespace tarnell {

using LatticeVector = std::array<int, 3>;

struct Percolation {
    // The lowest value at which a cluster percolates in 1, 2 and 3 dimensions; none where that
    // would need every point of the grid.
    std::array<std::optional<double>, 3> thresholds;
    LatticeVector direction1d{};             // the 1D path's direction, [u v w] in lowest terms
    std::array<LatticeVector, 2> plane2d{};  // two lattice directions that span the 2D region
};

// `values` at index (i·n1 + j)·n2 + k of a grid of `points` (each at least 2) over one cell.
Percolation findPercolation(const std::array<int, 3>& points, const std::vector<float>& values);

}  // namespace tarnell
