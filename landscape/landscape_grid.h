// The bond valence landscape: at every point of a grid over the unit cell, how far the bond
// valence sum of a test ion placed there falls from its valence, |BVS - V| in valence units.
// The sum runs over the frame's counter-ions within the cutoff; a point that lies too close to
// an ion of the test ion's own sign is no place for it, and carries the grid's largest value,
// which no percolation threshold reaches.
#pragma once

#include <array>
#include <vector>

#include "landscape/landscape_frame.h"
#include "settings/status.h"

namespace tarnell {

// A grid beyond this many points is refused: its landscape, its clusters (28 bytes a point)
// and its cube file (14 bytes a point) would take gigabytes. 20 million points are a cell of
// 27 Å at 0.1 Å, or of 54 Å at 0.2 Å.
inline constexpr long long MaxLandscapePoints = 20'000'000;
inline constexpr double MaxLandscapeCutoff = 20.0;  // Å
// Closer than this to an immobile ion of its own sign, a test ion has no place: the mismatch
// alone would take a cation site of similar size (Fe²⁺ in LiFePO₄) as a site for Li⁺, since it
// knows nothing of the repulsion between the two. 2 Å covers the inside of a cation's
// coordination polyhedron, and no two cations of a real structure come that close.
inline constexpr double LikeIonExclusion = 2.0;  // Å

struct LandscapeOptions {
    double step = 0.1;    // Å between grid points, at most, along each edge
    double cutoff = 6.0;  // Å: counter-ions farther than this from a point add nothing
    int threads = 0;      // 0: every core
};

// Values at the points i·a/na + j·b/nb + k·c/nc, at index (i·nb + j)·nc + k: the order of a
// cube file, the c index running fastest.
struct Landscape {
    std::array<int, 3> points{};
    std::vector<float> values;
};

// The number of points along each edge for `step`: each edge divided into steps of at most
// `step`, and at least 2.
std::array<int, 3> landscapePoints(const std::array<double, 6>& cell, double step);

// The Cartesian axes of the cell in Å: a along x, b in the xy plane; row i is edge i.
std::array<std::array<double, 3>, 3> cartesianAxes(const std::array<double, 6>& cell);

// Fails with a message for a step or a cutoff that is not positive or too large, and for a grid
// of more than MaxLandscapePoints points.
Status computeLandscape(const LandscapeFrame& frame, const LandscapeOptions& options,
                        Landscape& landscape);

}  // namespace tarnell
