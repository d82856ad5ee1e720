#include "valence/valence_sums.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <fstream>
#include <vector>

#include "settings/text.h"
#include "geometry/distance.h"
#include "geometry/neighbour_search.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

struct Bond {
    double d = 0.0;
    double sigma = 0.0;
    double g = 1.0;  // occupancy of the neighbour's site
    std::vector<BondParameter> alternatives;
};

// The sums of one site, one block per parameter alternative; an alternative in which some bond
// has r0 = 0 is left out, and the others keep their numbers.
std::string siteBlock(const std::string& label, const std::vector<Bond>& bonds,
                      int coordination, double b) {
    std::size_t alternativeCount = 0;
    for (const Bond& bond : bonds) alternativeCount = std::max(alternativeCount, bond.alternatives.size());
    if (alternativeCount == 0) return {};

    std::string block = formatText("  %-4s:\n", label.c_str());
    for (std::size_t e = 0; e < alternativeCount; ++e) {
        double sum = 0.0;
        double squares = 0.0;
        std::string bondText;
        bool usable = true;
        for (const Bond& bond : bonds) {
            if (bond.alternatives.empty()) {
                usable = false;
                break;
            }
            // A bond with fewer alternatives than its site uses its last one.
            const BondParameter& p = bond.alternatives[std::min(e, bond.alternatives.size() - 1)];
            if (p.r0 == 0.0) {
                usable = false;
                break;
            }
            const double s = bond.g * std::exp((p.r0 - bond.d) / b);
            sum += s;
            squares += (s * bond.sigma / b) * (s * bond.sigma / b);
            bondText += formatText("          %s (r0=%6.4lf for %-4s - %-4s)\n",
                                   p.reference.c_str(), p.r0, p.cationKey.c_str(),
                                   p.anionKey.c_str());
        }
        if (!usable) continue;
        block += formatText("    %d  BVS =%7.4lf(%7.4lf)  CN =%2d   See ref. below;\n%s\n",
                            static_cast<int>(e + 1), sum, std::sqrt(squares), coordination,
                            bondText.c_str());
    }
    return block;
}

}  // namespace

int computeValenceSums(const CrystalStructure& structure, int distanceCount,
                       const DistanceListFiles& files, const std::filesystem::path& bvTable,
                       const Settings& settings, const std::filesystem::path& outputPath,
                       std::string& message) {
    if (!(settings.bvB > 0.0)) {
        message = formatText("  Error !!! BV-B must be positive, not %g.\n", settings.bvB);
        return -1;
    }
    std::vector<std::string> references;
    if (readReferenceList(bvTable, settings.entryNum, references, message) != 0) return -1;

    std::vector<DistanceEntry> entries;
    if (readDistanceList(files, distanceCount, entries, message) != 0) return -1;

    // A neighbour's bond counts with the neighbour's occupancy, so a split site or a vacancy
    // adds its share; the coordination number counts positions, so sites that share one (a
    // mixed site) count once.
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    std::vector<std::vector<Bond>> siteBonds;
    std::vector<int> coordination;
    for (const Site& site : structure.sites) {
        std::vector<Bond> bonds;
        std::vector<std::array<double, 3>> positions;
        for (const DistanceEntry& entry : entries) {
            if (entry.centre != site.name) continue;
            if (static_cast<int>(bonds.size()) == MaxBondsPerSite) {
                message = formatText("  Error !!! Number of distance entry exceed over %d.\n",
                                     MaxBondsPerSite);
                return -1;
            }
            const auto neighbour =
                std::find_if(structure.sites.begin(), structure.sites.end(),
                             [&](const Site& s) { return s.name == entry.neighbour; });
            if (neighbour == structure.sites.end()) {
                message = "  Error !!! The distance list cannot be read back.\n";
                return -1;
            }
            bonds.push_back({entry.d, entry.sigma, neighbour->g, entry.alternatives});
            const bool counted =
                std::any_of(positions.begin(), positions.end(), [&](const auto& p) {
                    return samePosition(geometry, p, entry.neighbourPosition);
                });
            if (!counted) positions.push_back(entry.neighbourPosition);
        }
        siteBonds.push_back(std::move(bonds));
        coordination.push_back(static_cast<int>(positions.size()));
    }

    std::ofstream out(outputPath, std::ios::binary | std::ios::app);
    if (!out) {
        message = "  Error !!! Output file not found.\n";
        return -1;
    }
    out << "  Bond valence sum:\n\n";
    for (std::size_t i = 0; i < siteBonds.size(); ++i) {
        out << siteBlock(structure.sites[i].name, siteBonds[i], coordination[i], settings.bvB);
    }
    out << "  Reference list:\n";
    for (const std::string& reference : references) out << "   " << reference << '\n';
    return 0;
}

}  // namespace tarnell
