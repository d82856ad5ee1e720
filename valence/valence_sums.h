// The bond valence sums: for every site, the sum of the bond valences s = g·exp((r0 - d) / b)
// of its bonds in the distance list (g the occupancy of the neighbour's site), with its standard
// uncertainty from sigma(d) and its coordination number, once for every parameter alternative.
// The valence summary sums its own bonds with the same two functions below.
#pragma once

#include <array>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/distance.h"
#include "settings/status.h"
#include "valence/bond_search.h"

namespace tarnell {

// Far more than any real coordination sphere within 3.5 Å, even of a large cation among split
// sites; a site listed twice reaches it. A wider window holds more neighbours, as its volume
// grows, so the guard grows with the site's distance limit.
inline constexpr int MaxBondsPerSite = 60;
inline constexpr double MaxBondsWindow = 3.5;  // Å
int maxBondsPerSite(double dLimit);

// A sum of bond valences and its standard uncertainty sqrt(Σ (s·sigma(d)/b)²).
struct ValenceSum {
    double bvs = 0.0;
    double squares = 0.0;

    void add(double s, double sigmaD, double b) {
        bvs += s;
        squares += (s * sigmaD / b) * (s * sigmaD / b);
    }
    double sigma() const;
};

// The coordination number of bonds to these positions: positions closer than
// SamePositionTolerance (the sites of a mixed position) count once.
int coordinationNumber(const CellGeometry& geometry,
                       const std::vector<std::array<double, 3>>& positions);

// One alternative of a site: every bond with its alternative number `number` (from 1) or, where
// the bond has fewer, its last one.
struct AlternativeSum {
    int number = 0;
    double bvs = 0.0;
    double sigma = 0.0;
};

// The alternative of `bond` that the site's alternative `number` uses.
inline std::size_t alternativeIndex(const Bond& bond, int number) {
    const std::size_t wanted = static_cast<std::size_t>(number - 1);
    return wanted < bond.alternatives.size() ? wanted : bond.alternatives.size() - 1;
}

struct SiteSums {
    int site = 0;            // index in the structure
    std::vector<int> bonds;  // indices of its bonds in the distance list
    int coordination = 0;    // neighbour positions
    // In order; an alternative in which some bond has r0 = 0 is left out, the others keep
    // their numbers. Empty for a site without bonds.
    std::vector<AlternativeSum> alternatives;
};

// The sums of every site from the bonds of the distance list. Fails with the message when a
// site has more than maxBondsPerSite(its distance limit) bonds in the list.
Status computeSiteSums(const CrystalStructure& structure, const std::vector<Bond>& bonds, double b,
                       std::vector<SiteSums>& sums);

}  // namespace tarnell
