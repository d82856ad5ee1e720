#include "valence/valence_sums.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "crystal/distance.h"
#include "search/neighbour_search.h"
#include "settings/text.h"
#include "valence/parameter_table.h"

namespace tarnell {

Status computeSiteSums(const CrystalStructure& structure, const std::vector<DistanceEntry>& entries,
                       double b, std::vector<SiteSums>& sums) {
    sums.clear();
    // A neighbour's bond counts with the neighbour's occupancy, so a split site or a vacancy
    // adds its share; the coordination number counts positions, so sites that share one (a
    // mixed site) count once.
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    std::vector<double> occupancy(entries.size(), 1.0);
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const auto neighbour =
            std::find_if(structure.sites.begin(), structure.sites.end(),
                         [&](const Site& s) { return s.name == entries[n].neighbour; });
        if (neighbour == structure.sites.end()) {
            return Status::failed("  Error !!! The distance list cannot be read back.\n");
        }
        occupancy[n] = neighbour->g;
    }
    for (std::size_t i = 0; i < structure.sites.size(); ++i) {
        SiteSums site;
        site.site = static_cast<int>(i);
        std::vector<std::array<double, 3>> positions;
        for (std::size_t n = 0; n < entries.size(); ++n) {
            if (entries[n].centre != structure.sites[i].name) continue;
            if (static_cast<int>(site.entries.size()) == MaxBondsPerSite) {
                return Status::failed(formatText(
                    "  Error !!! Number of distance entry exceed over %d.\n", MaxBondsPerSite));
            }
            site.entries.push_back(static_cast<int>(n));
            const bool counted =
                std::any_of(positions.begin(), positions.end(), [&](const auto& p) {
                    return samePosition(geometry, p, entries[n].neighbourPosition);
                });
            if (!counted) positions.push_back(entries[n].neighbourPosition);
        }
        site.coordination = static_cast<int>(positions.size());

        std::size_t alternativeCount = 0;
        for (int n : site.entries) {
            alternativeCount = std::max(alternativeCount, entries[n].alternatives.size());
        }
        for (std::size_t e = 0; e < alternativeCount; ++e) {
            AlternativeSum sum;
            sum.number = static_cast<int>(e + 1);
            double squares = 0.0;
            bool usable = true;
            for (int n : site.entries) {
                const DistanceEntry& entry = entries[n];
                if (entry.alternatives.empty()) {
                    usable = false;
                    break;
                }
                // A bond with fewer alternatives than its site uses its last one.
                const BondParameter& p =
                    entry.alternatives[std::min(e, entry.alternatives.size() - 1)];
                if (p.r0 == 0.0) {
                    usable = false;
                    break;
                }
                const double s = occupancy[n] * std::exp((p.r0 - entry.d) / b);
                sum.bvs += s;
                squares += (s * entry.sigma / b) * (s * entry.sigma / b);
                sum.parameters.push_back(p);
                sum.valences.push_back(s);
            }
            if (!usable) continue;
            sum.sigma = std::sqrt(squares);
            site.alternatives.push_back(std::move(sum));
        }
        sums.push_back(std::move(site));
    }
    return {};
}

std::string valenceSumsText(const CrystalStructure& structure, const std::vector<SiteSums>& sums,
                            const std::vector<std::string>& references) {
    std::string text = "  Bond valence sum:\n\n";
    for (const SiteSums& site : sums) {
        if (site.entries.empty()) continue;
        // A site whose every alternative has a gap still shows its label, as it always has.
        text += formatText("  %-4s:\n",
                           structure.sites[static_cast<std::size_t>(site.site)].name.c_str());
        for (const AlternativeSum& sum : site.alternatives) {
            text += formatText("    %d  BVS =%7.4lf(%7.4lf)  CN =%2d   See ref. below;\n",
                               sum.number, sum.bvs, sum.sigma, site.coordination);
            for (const BondParameter& p : sum.parameters) {
                text +=
                    formatText("          %s (r0=%6.4lf for %-4s - %-4s)\n", p.reference.c_str(),
                               p.r0, p.cationKey.c_str(), p.anionKey.c_str());
            }
            text += "\n";
        }
    }
    text += "  Reference list:\n";
    for (const std::string& reference : references) text += "   " + reference + "\n";
    return text;
}

}  // namespace tarnell
