#include "valence/valence_summary.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "crystal/distance.h"
#include "search/neighbour_search.h"
#include "settings/numbers.h"
#include "settings/text.h"

namespace tarnell {
namespace {

// Valences in the table are whole numbers, 9 for an unspecified one; a site's may be mixed.
constexpr double SameValence = 1e-3;
constexpr double UnspecifiedValence = 9.0;

bool valenceIs(const std::string& text, double value) {
    const std::optional<double> read = readReal(text);
    return read && std::fabs(*read - value) < SameValence;
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
            valenceIs(line.cationValence, UnspecifiedValence) &&
            valenceIs(line.anionValence, -anionValence))
            return &line;
    }
    return nullptr;
}

double wrapped(double v) {
    return v - std::floor(v + 0.5);
}

}  // namespace

int multiplicityInCell(const CrystalStructure& structure, const Site& site,
                       const OperatorTable& operators) {
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    const auto imageOf = [&site](const SymmetryOperator& op) {
        std::array<double, 3> v{};
        for (int c = 0; c < 3; ++c) {
            v[c] = op.r[c][0] * site.x + op.r[c][1] * site.y + op.r[c][2] * site.z + op.t[c];
        }
        return v;
    };
    const auto same = [&geometry](const std::array<double, 3>& p, const std::array<double, 3>& q) {
        const std::array<double, 3> difference{wrapped(p[0] - q[0]), wrapped(p[1] - q[1]),
                                               wrapped(p[2] - q[2])};
        return samePosition(geometry, difference, {0.0, 0.0, 0.0});
    };
    // The operators form a group, so the site has as many images as the group has operators
    // per operator that leaves it in place.
    const std::array<double, 3> own{site.x, site.y, site.z};
    std::size_t fixing = 0;
    for (const SymmetryOperator& op : operators) fixing += same(imageOf(op), own);
    if (fixing > 0 && operators.size() % fixing == 0) {
        return static_cast<int>(operators.size() / fixing);
    }
    // Rounded coordinates can leave the count uneven: then the images are counted one by one.
    std::vector<std::array<double, 3>> images;
    for (const SymmetryOperator& op : operators) {
        const std::array<double, 3> v = imageOf(op);
        if (std::none_of(images.begin(), images.end(), [&](const auto& q) { return same(v, q); }))
            images.push_back(v);
    }
    return static_cast<int>(images.size());
}

ValenceSummary summariseValences(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<IonContact>& contacts,
                                 const ParameterTable& table, double bvB) {
    ValenceSummary summary;
    const std::vector<Site>& sites = structure.sites;
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
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

        double squares = 0.0;
        std::vector<std::array<double, 3>> positions;
        for (const IonContact& contact : contacts) {
            if (contact.centre != site.site) continue;
            const Site& other = sites[static_cast<std::size_t>(contact.neighbour)];
            const bool centreIsCation = v > 0;
            const Site& cation = centreIsCation ? sites[i] : other;
            const Site& anion = centreIsCation ? other : sites[i];
            const double cationValence = formalValence(cation);
            const double anionValence = formalValence(anion);
            const std::string cationElement = elementSymbol(cation.name);
            const std::string anionElement = elementSymbol(anion.name);
            const ParameterLine* line =
                parameterFor(table, cationElement, cationValence, anionElement, anionValence);
            if (line == nullptr) {
                if (site.missing.empty()) {
                    site.missing = ionKey(cationElement, cationValence) + " \u2013 " +
                                   ionKey(anionElement, anionValence);
                }
                continue;
            }
            const double b = line->b > 0.0 ? line->b : bvB;
            SummaryBond bond{contact.neighbour,
                             contact.position,
                             contact.d,
                             contact.sigma,
                             other.g * std::exp((line->r0 - contact.d) / b),
                             *line};
            site.bvs += bond.s;
            squares += (bond.s * contact.sigma / b) * (bond.s * contact.sigma / b);
            if (std::find(site.references.begin(), site.references.end(), line->reference) ==
                site.references.end())
                site.references.push_back(line->reference);
            const bool counted = std::any_of(
                positions.begin(), positions.end(),
                [&](const auto& p) { return samePosition(geometry, p, contact.position); });
            if (!counted) positions.push_back(contact.position);
            site.bonds.push_back(std::move(bond));
        }
        site.coordination = static_cast<int>(positions.size());
        site.sigma = std::sqrt(squares);
        if (v < 0 && site.bvs != 0.0) site.bvs = -site.bvs;
        site.deviation = site.bvs - v;
        site.relative = site.deviation / v;
        const double share = std::fabs(site.relative);
        site.mark = share > StronglyMarkedDeviation ? "**" : share > MarkedDeviation ? "*" : "";
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
        summary.sites.clear();
        summary.gii = 0.0;
        summary.ionsInCell = 0.0;
    }
    return summary;
}

std::string valenceSummaryText(const CrystalStructure& structure, const ValenceSummary& summary) {
    std::string text = "\n  Valence summary:\n\n";
    if (summary.onlySign > 0) {
        return text +
               "  Only the cations have a formal valence: set the anions' charges too to "
               "compare the sums with them.\n";
    }
    if (summary.onlySign < 0) {
        return text +
               "  Only the anions have a formal valence: set the cations' charges too to "
               "compare the sums with them.\n";
    }
    if (summary.sites.empty()) {
        return text +
               "  No site has a formal valence: set the charges to compare the sums with them.\n";
    }
    text +=
        "  V: formal valence. Bonds only between ions of opposite sign, each with the first table\n"
        "  line for both ions' valences and that line's own b. dV = BVS - V; * |dV/V| above 10 %,\n"
        "  ** above 20 %.\n\n"
        "  Site        V       BVS   sigma  CN       dV  dV/V(%)  ref.\n";
    for (const SiteSummary& site : summary.sites) {
        const std::string& label = structure.sites[static_cast<std::size_t>(site.site)].name;
        if (!site.missing.empty()) {
            text += formatText("  %-6s %6.2lf  no parameters for %s\n", label.c_str(), site.valence,
                               site.missing.c_str());
            continue;
        }
        std::string references;
        for (const std::string& reference : site.references) {
            if (!references.empty()) references += ',';
            references += reference;
        }
        if (references.empty()) references.push_back('-');
        text += formatText("  %-6s %6.2lf %9.4lf %7.4lf %3d %8.4lf %8.1lf  %s%s%s\n", label.c_str(),
                           site.valence, site.bvs, site.sigma, site.coordination, site.deviation,
                           100.0 * site.relative, references.c_str(), site.mark.empty() ? "" : "  ",
                           site.mark.c_str());
    }
    text += formatText("\n  GII = %.4lf v.u. over %.2lf ions in the cell\n", summary.gii,
                       summary.ionsInCell);
    text += formatText("  Valences per cell: cations %+.3lf, anions %+.3lf\n",
                       summary.cationValences, summary.anionValences);
    return text;
}

}  // namespace tarnell
