#include "valence/valence_sums.h"

#include <algorithm>
#include <cmath>

#include "search/neighbour_search.h"
#include "settings/text.h"

namespace tarnell {

double ValenceSum::sigma() const {
    return std::sqrt(squares);
}

int maxBondsPerSite(double dLimit) {
    const double scale = dLimit / MaxBondsWindow;
    if (!(scale > 1.0)) return MaxBondsPerSite;
    // Beyond a window of a hundred cells' worth the sum is no longer a coordination sphere.
    const double scaled = std::ceil(MaxBondsPerSite * std::min(scale * scale * scale, 1e6));
    return static_cast<int>(scaled);
}

int coordinationNumber(const CellGeometry& geometry,
                       const std::vector<std::array<double, 3>>& positions) {
    std::vector<std::array<double, 3>> counted;
    for (const auto& p : positions) {
        const bool seen = std::any_of(counted.begin(), counted.end(),
                                      [&](const auto& q) { return samePosition(geometry, p, q); });
        if (!seen) counted.push_back(p);
    }
    return static_cast<int>(counted.size());
}

Status computeSiteSums(const CrystalStructure& structure, const std::vector<Bond>& bonds, double b,
                       std::vector<SiteSums>& sums) {
    sums.assign(structure.sites.size(), SiteSums{});
    for (std::size_t i = 0; i < sums.size(); ++i) sums[i].site = static_cast<int>(i);
    for (std::size_t n = 0; n < bonds.size(); ++n) {
        if (bonds[n].number == 0) continue;
        SiteSums& site = sums[static_cast<std::size_t>(bonds[n].centre)];
        const int limit =
            maxBondsPerSite(structure.sites[static_cast<std::size_t>(site.site)].dLimit);
        if (static_cast<int>(site.bonds.size()) == limit) {
            sums.clear();
            return Status::failed(MessageId::TooManyBondsAtSite, limit);
        }
        site.bonds.push_back(static_cast<int>(n));
    }
    // A neighbour's bond counts with the neighbour's occupancy, so a split site or a vacancy
    // adds its share; the coordination number counts positions, so sites that share one (a
    // mixed site) count once.
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    for (SiteSums& site : sums) {
        std::vector<std::array<double, 3>> positions;
        std::size_t alternativeCount = 0;
        for (int n : site.bonds) {
            positions.push_back(bonds[static_cast<std::size_t>(n)].position);
            alternativeCount =
                std::max(alternativeCount, bonds[static_cast<std::size_t>(n)].alternatives.size());
        }
        site.coordination = coordinationNumber(geometry, positions);
        for (std::size_t e = 0; e < alternativeCount; ++e) {
            const int number = static_cast<int>(e + 1);
            ValenceSum sum;
            const bool usable = std::all_of(site.bonds.begin(), site.bonds.end(), [&](int n) {
                const Bond& bond = bonds[static_cast<std::size_t>(n)];
                const std::size_t k = alternativeIndex(bond, number);
                if (bond.alternatives[k].r0 == 0.0) return false;
                sum.add(bond.s[k], bond.sigma, b);
                return true;
            });
            if (usable) site.alternatives.push_back({number, sum.bvs, sum.sigma()});
        }
    }
    return {};
}

}  // namespace tarnell
