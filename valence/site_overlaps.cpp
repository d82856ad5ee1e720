#include "valence/site_overlaps.h"

#include <cmath>
#include <string>
#include <vector>

#include "crystal/distance.h"
#include "search/neighbour_search.h"
#include "settings/text.h"

namespace tarnell {
namespace {

double wrapped(double v) {
    return v - std::floor(v + 0.5);
}

// Whether some image of `other` lies on `site`.
bool onOnePosition(const CellGeometry& geometry, const OperatorTable& operators, const Site& site,
                   const Site& other) {
    const std::array<double, 3> own{site.x, site.y, site.z};
    const std::array<double, 3> theirs{other.x, other.y, other.z};
    for (const SymmetryOperator& op : operators) {
        const std::array<double, 3> v = applyOperator(op, theirs);
        const std::array<double, 3> difference{wrapped(v[0] - own[0]), wrapped(v[1] - own[1]),
                                               wrapped(v[2] - own[2])};
        if (samePosition(geometry, difference, {0.0, 0.0, 0.0})) return true;
    }
    return false;
}

std::string listed(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

bool resolveSiteOverlaps(CrystalStructure& structure, const OperatorTable& operators) {
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    std::vector<Site>& sites = structure.sites;
    std::vector<std::string> merged;
    bool doubtful = false;
    for (const Site& site : sites) {
        if (site.g > 1.0 + OccupancyRounding || site.g < 0.0) {
            structure.notes.push_back(message(MessageId::OccupancyDoubtful, site.name.c_str(),
                                              formatText("%.4g", site.g).c_str()));
            doubtful = true;
        }
    }
    for (std::size_t i = 0; i < sites.size(); ++i) {
        for (std::size_t j = i + 1; j < sites.size();) {
            const Site& a = sites[i];
            const Site& b = sites[j];
            if (a.g + b.g <= 1.0 + OccupancyRounding || !onOnePosition(geometry, operators, a, b)) {
                ++j;
                continue;
            }
            if (!a.element.empty() && a.element == b.element &&
                std::fabs(a.g - b.g) <= OccupancyRounding) {
                merged.push_back(b.name + " (as " + a.name + ")");
                sites.erase(sites.begin() + static_cast<std::ptrdiff_t>(j));
                continue;
            }
            structure.notes.push_back(message(MessageId::PositionOverfilled, a.name.c_str(),
                                              b.name.c_str(),
                                              formatText("%.4g", a.g + b.g).c_str()));
            doubtful = true;
            ++j;
        }
    }
    if (!merged.empty()) {
        structure.notes.push_back(message(MessageId::SitesListedTwice, listed(merged).c_str()));
    }
    return doubtful;
}

}  // namespace tarnell
