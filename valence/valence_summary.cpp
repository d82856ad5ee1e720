#include "valence/valence_summary.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

#include "crystal/distance.h"
#include "search/neighbour_search.h"
#include "settings/text.h"
#include "valence/first_shell.h"
#include "valence/valence_sums.h"

namespace tarnell {
namespace {

// Valences in the table are whole numbers, 9 for an unspecified one; a site's may be mixed.
constexpr double SameValence = 1e-3;

bool valenceIs(int tableValence, double value) {
    return std::fabs(tableValence - value) < SameValence;
}

std::string valenceText(double v) {
    const double magnitude = std::fabs(v);
    return magnitude == std::round(magnitude) ? formatText("%d", static_cast<int>(magnitude))
                                              : formatText("%g", magnitude);
}

std::string ionKey(const std::string& element, double v) {
    return element + valenceText(v) + (v > 0 ? "+" : "-");
}

// The first line for both ions and both valences, else one whose cation valence is unspecified.
const ParameterLine* parameterFor(const ParameterTable& table, const std::string& cation,
                                  double cationValence, const std::string& anion,
                                  double anionValence) {
    for (const ParameterLine& line : table.lines) {
        if (line.cation == cation && line.anion == anion &&
            valenceIs(line.cationValence, cationValence) &&
            valenceIs(line.anionValence, -anionValence))
            return &line;
    }
    for (const ParameterLine& line : table.lines) {
        if (line.cation == cation && line.anion == anion &&
            line.cationValence == UnspecifiedValence && valenceIs(line.anionValence, -anionValence))
            return &line;
    }
    return nullptr;
}

// Marks the bonds of the first shell and counts their positions; neighbours sharing a position
// count once.
int markFirstShell(const CellGeometry& geometry, const std::vector<Bond>& bonds,
                   std::vector<SummaryBond>& used, const std::vector<double>& fullValences) {
    const int size = firstShellSize(fullValences);
    if (size == 0) return 0;
    std::vector<double> sorted = fullValences;
    std::nth_element(sorted.begin(), sorted.begin() + (size - 1), sorted.end(), std::greater<>());
    const double weakest = sorted[static_cast<std::size_t>(size - 1)];
    std::vector<std::array<double, 3>> shell;
    for (std::size_t k = 0; k < used.size(); ++k) {
        if (fullValences[k] < weakest) continue;
        used[k].firstShell = true;
        shell.push_back(bonds[static_cast<std::size_t>(used[k].bond)].position);
    }
    return coordinationNumber(geometry, shell);
}

double wrapped(double v) {
    return v - std::floor(v + 0.5);
}

}  // namespace

int multiplicityInCell(const CrystalStructure& structure, const Site& site,
                       const OperatorTable& operators) {
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    const std::array<double, 3> own{site.x, site.y, site.z};
    const auto same = [&geometry](const std::array<double, 3>& p, const std::array<double, 3>& q) {
        const std::array<double, 3> difference{wrapped(p[0] - q[0]), wrapped(p[1] - q[1]),
                                               wrapped(p[2] - q[2])};
        return samePosition(geometry, difference, {0.0, 0.0, 0.0});
    };
    // The operators form a group, so the site has as many images as the group has operators
    // per operator that leaves it in place.
    std::size_t fixing = 0;
    for (const SymmetryOperator& op : operators) fixing += same(applyOperator(op, own), own);
    if (fixing > 0 && operators.size() % fixing == 0) {
        return static_cast<int>(operators.size() / fixing);
    }
    // Rounded coordinates can leave the count uneven: then the images are counted one by one.
    std::vector<std::array<double, 3>> images;
    for (const SymmetryOperator& op : operators) {
        const std::array<double, 3> v = applyOperator(op, own);
        if (std::none_of(images.begin(), images.end(), [&](const auto& q) { return same(v, q); }))
            images.push_back(v);
    }
    return static_cast<int>(images.size());
}

ValenceSummary summariseValences(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<Bond>& bonds, const ParameterTable& table,
                                 double bvB) {
    ValenceSummary summary;
    const std::vector<Site>& sites = structure.sites;
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    // The bonds of each centre, in the order of the search.
    std::vector<std::vector<int>> bondsOf(sites.size());
    for (std::size_t n = 0; n < bonds.size(); ++n) {
        bondsOf[static_cast<std::size_t>(bonds[n].centre)].push_back(static_cast<int>(n));
    }
    // A structure has few ion pairs and many contacts: each pair's line is looked up once.
    std::map<std::tuple<std::string, double, std::string, double>, const ParameterLine*> lines;
    const auto lineFor = [&](const Site& cation, const Site& anion) {
        const auto key = std::make_tuple(cation.element, formalValence(cation), anion.element,
                                         formalValence(anion));
        auto at = lines.find(key);
        if (at == lines.end()) {
            at = lines
                     .emplace(key, parameterFor(table, cation.element, formalValence(cation),
                                                anion.element, formalValence(anion)))
                     .first;
        }
        return at->second;
    };
    double weightedSquares = 0.0;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const double v = formalValence(sites[i]);
        if (v == 0.0) continue;
        SiteSummary site;
        site.site = static_cast<int>(i);
        site.valence = v;
        site.multiplicity = multiplicityInCell(structure, sites[i], operators);
        const double ions = site.multiplicity * sites[i].g;
        (v > 0 ? summary.cationValences : summary.anionValences) += ions * v;

        ValenceSum sum;
        std::vector<std::array<double, 3>> positions;
        std::vector<double> fullValences;
        for (int n : bondsOf[i]) {
            const Bond& bond = bonds[static_cast<std::size_t>(n)];
            const Site& other = sites[static_cast<std::size_t>(bond.neighbour)];
            const double w = formalValence(other);
            if (!((v > 0 && w < 0) || (v < 0 && w > 0))) continue;
            const Site& cation = v > 0 ? sites[i] : other;
            const Site& anion = v > 0 ? other : sites[i];
            const ParameterLine* line = lineFor(cation, anion);
            if (line == nullptr) {
                if (site.missing.empty()) {
                    site.missing = ionKey(cation.element, formalValence(cation)) + " \u2013 " +
                                   ionKey(anion.element, formalValence(anion));
                }
                continue;
            }
            const double b = line->b > 0.0 ? line->b : bvB;
            const double s = other.g * std::exp((line->r0 - bond.d) / b);
            sum.add(s, bond.sigma, b);
            if (std::find(site.references.begin(), site.references.end(), line->reference) ==
                site.references.end())
                site.references.push_back(line->reference);
            positions.push_back(bond.position);
            fullValences.push_back(std::exp((line->r0 - bond.d) / b));
            site.bonds.push_back({n, *line, b, s, s * bond.sigma / b});
        }
        site.bvs = sum.bvs;
        site.coordination = coordinationNumber(geometry, positions);
        site.firstShell = markFirstShell(geometry, bonds, site.bonds, fullValences);
        site.sigma = sum.sigma();
        if (v < 0 && site.bvs != 0.0) site.bvs = -site.bvs;
        site.deviation = site.bvs - v;
        site.relative = site.deviation / v;
        const double share = std::fabs(site.relative);
        site.mark = share > StronglyMarkedDeviation ? "**" : share > MarkedDeviation ? "*" : "";
        summary.ionsWithValence += ions;
        if (site.missing.empty()) {
            weightedSquares += ions * site.deviation * site.deviation;
            summary.ionsInCell += ions;
        }
        summary.sites.push_back(std::move(site));
    }
    summary.gii = summary.ionsInCell > 0.0 ? std::sqrt(weightedSquares / summary.ionsInCell) : 0.0;
    // Valences read from some labels only (FeT2+ beside a plain O) would give a GII of whole
    // valence units that says nothing about the structure.
    if (!summary.sites.empty() && (summary.cationValences == 0.0 || summary.anionValences == 0.0)) {
        summary.onlySign = summary.cationValences != 0.0 ? 1 : -1;
        // Sites of the missing sign that are there, each with a valence but none occupied: a
        // file of vacancies, not one without charges.
        const bool present =
            std::any_of(summary.sites.begin(), summary.sites.end(),
                        [&](const SiteSummary& s) { return s.valence * summary.onlySign < 0.0; });
        summary.signUnoccupied = present;
        summary.sites.clear();
        summary.gii = 0.0;
        summary.ionsInCell = 0.0;
        summary.ionsWithValence = 0.0;
    }
    return summary;
}

}  // namespace tarnell
