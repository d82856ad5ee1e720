#include "valence/site_overlaps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crystal/distance.h"
#include "search/fractional_metric.h"
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

// For each site, the later sites of which some image may lie on it, in order: the images binned
// once by fractional position, each site looking into the bins its tolerance box reaches, so
// that thousands of sites are not tried pair by pair with every operator (a second for 1000
// sites of 192 operators). onOnePosition still judges every candidate. Nothing where the cell
// bounds no box: then every later site is a candidate.
std::optional<std::vector<std::vector<std::size_t>>> candidatePartners(
    const CellGeometry& geometry, const OperatorTable& operators, const std::vector<Site>& sites) {
    const std::array<double, 3> reciprocal = Metric(geometry).reciprocalLengths();
    std::array<std::int64_t, 3> count{};
    for (int c = 0; c < 3; ++c) {
        // A little wider than the tolerance, so that rounding never loses a pair.
        const double reach = SamePositionTolerance * reciprocal[c] * 1.01 + 1e-9;
        if (!std::isfinite(reach)) return std::nullopt;
        count[c] = static_cast<std::int64_t>(std::clamp(std::floor(1.0 / reach), 1.0, 1e6));
    }
    std::array<std::int64_t, 3> bin{};
    const auto binOf = [&](const std::array<double, 3>& v) {
        for (int c = 0; c < 3; ++c) {
            const double f = v[c] - std::floor(v[c]);
            bin[c] = std::min(count[c] - 1, static_cast<std::int64_t>(f * count[c]));
            if (!(bin[c] >= 0)) return false;  // not a finite position
        }
        return true;
    };
    const auto key = [&](std::int64_t x, std::int64_t y, std::int64_t z) {
        return (x * count[1] + y) * count[2] + z;
    };
    // (bin, site) of every image, sorted: one allocation, where a map of small lists made an
    // allocation for nearly every image.
    std::vector<std::pair<std::int64_t, std::size_t>> images;
    images.reserve(sites.size() * operators.size());
    for (std::size_t j = 0; j < sites.size(); ++j) {
        const std::array<double, 3> position{sites[j].x, sites[j].y, sites[j].z};
        for (const SymmetryOperator& op : operators) {
            if (!binOf(applyOperator(op, position))) return std::nullopt;
            images.emplace_back(key(bin[0], bin[1], bin[2]), j);
        }
    }
    std::sort(images.begin(), images.end());
    std::vector<std::vector<std::size_t>> partners(sites.size());
    for (std::size_t i = 0; i < sites.size(); ++i) {
        if (!binOf({sites[i].x, sites[i].y, sites[i].z})) return std::nullopt;
        const std::array<std::int64_t, 3> centre = bin;
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                for (std::int64_t dz = -1; dz <= 1; ++dz) {
                    const auto wrap = [&](std::int64_t k, int c) {
                        return ((k % count[c]) + count[c]) % count[c];
                    };
                    const std::int64_t k = key(wrap(centre[0] + dx, 0), wrap(centre[1] + dy, 1),
                                               wrap(centre[2] + dz, 2));
                    auto at = std::lower_bound(images.begin(), images.end(),
                                               std::make_pair(k, std::size_t{0}));
                    for (; at != images.end() && at->first == k; ++at) {
                        if (at->second > i) partners[i].push_back(at->second);
                    }
                }
            }
        }
        std::sort(partners[i].begin(), partners[i].end());
        partners[i].erase(std::unique(partners[i].begin(), partners[i].end()), partners[i].end());
    }
    return partners;
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
    // Each pair in the order of the list; a site merged into an earlier one takes no further
    // part.
    const std::size_t n = sites.size();
    const auto partners = candidatePartners(geometry, operators, sites);
    std::vector<bool> kept(n, true);
    std::vector<std::size_t> everyLater;
    for (std::size_t i = 0; i < n; ++i) {
        if (!kept[i]) continue;
        if (!partners) {
            everyLater.clear();
            for (std::size_t j = i + 1; j < n; ++j) everyLater.push_back(j);
        }
        for (const std::size_t j : partners ? (*partners)[i] : everyLater) {
            if (!kept[j]) continue;
            const Site& a = sites[i];
            const Site& b = sites[j];
            if (a.g + b.g <= 1.0 + OccupancyRounding || !onOnePosition(geometry, operators, a, b))
                continue;
            if (!a.element.empty() && a.element == b.element &&
                std::fabs(a.g - b.g) <= OccupancyRounding) {
                merged.push_back(b.name + " (as " + a.name + ")");
                kept[j] = false;
                continue;
            }
            structure.notes.push_back(message(MessageId::PositionOverfilled, a.name.c_str(),
                                              b.name.c_str(),
                                              formatText("%.4g", a.g + b.g).c_str()));
            doubtful = true;
        }
    }
    if (std::find(kept.begin(), kept.end(), false) != kept.end()) {
        std::vector<Site> remaining;
        for (std::size_t i = 0; i < n; ++i) {
            if (kept[i]) remaining.push_back(std::move(sites[i]));
        }
        sites = std::move(remaining);
    }
    if (!merged.empty()) {
        structure.notes.push_back(message(MessageId::SitesListedTwice, listed(merged).c_str()));
    }
    return doubtful;
}

}  // namespace tarnell
