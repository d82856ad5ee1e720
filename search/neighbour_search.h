// The neighbour search: every symmetry image of every site that lies within the distance window
// of a central site, each atom once. It knows nothing of bonds; its caller decides which of the
// neighbours it hands over are bonds.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "crystal/crystal_structure.h"
#include "crystal/distance.h"
#include "crystal/operator_expansion.h"
#include "settings/settings_file.h"

namespace tarnell {

// Images of one site closer than this are one atom. Real files round special positions
// (0.3333 for 1/3), so their images miss each other by up to a few thousandths of an Å; no two
// distinct atoms of a real structure come this close.
inline constexpr double SamePositionTolerance = 0.02;  // Å

// Which image of a site a neighbour is: operator `operatorIndex` (from 0) of the operator table
// applied to the site's own coordinates, then moved by whole cells.
struct NeighbourImage {
    int operatorIndex = 0;
    std::array<int, 3> translation{};
};

// Names an image as crystallographers read it: the operator number from 1 and the three cell
// translations plus 5, as " 1_555" or "12_456". Translations outside -4..4 would need two digits,
// so such a code spells every translation plus 5 separately: "1_5_10_5".
std::string symmetryCode(const NeighbourImage& image);

// One neighbour within the window of a central site.
struct Neighbour {
    int centre = 0;     // index of the central site
    int neighbour = 0;  // index of the neighbour's site
    NeighbourImage image;
    std::array<double, 3> position{};  // fractional coordinates of the image
    double d = 0.0;                    // Å
    double sigma = 0.0;                // Å
};

// Calls `visit` for every neighbour of every central site, grouped by central site in site
// order, then by neighbour site, operator and translation. Each image is first brought next to
// its centre (every fractional difference in [-0.5, 0.5)) and then moved by the translations
// settings.hMin..hMax along each axis, so that the shipped range -1..1 finds every neighbour
// whenever the window is narrower than the spacings of the cell's (100), (010) and (001) planes.
// Images of one site closer than SamePositionTolerance are one neighbour, the first found.
// `visit` returns false to stop the search at once. Each centre tries only the images that its
// window and the translations can reach, so the work grows with the neighbours, not with the
// square of the structure, and the memory with the structure's images.
void forEachNeighbour(const CrystalStructure& structure, const OperatorTable& operators,
                      const Settings& settings, const std::function<bool(const Neighbour&)>& visit);

// Whether two positions of `geometry` lie closer than SamePositionTolerance.
bool samePosition(const CellGeometry& geometry, const std::array<double, 3>& p,
                  const std::array<double, 3>& q);

}  // namespace tarnell
