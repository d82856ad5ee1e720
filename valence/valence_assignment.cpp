#include "valence/valence_assignment.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "crystal/distance.h"
#include "settings/text.h"

namespace tarnell {
namespace {

// More assignments than this are not tried: the run says so instead of guessing.
constexpr long MaxEvaluations = 20000;
// A per-site choice for one element is tried when its sites have at most this many.
constexpr long MaxMixedOptions = 256;
// Mixed states must leave less than this share of the best single state's misfit.
constexpr double MixedGain = 0.5;

// The first line for both ions and both valences, as the valence summary takes it.
const ParameterLine* lineFor(const ParameterTable& table, const std::string& cation, int cv,
                             const std::string& anion, int av) {
    for (const ParameterLine& line : table.lines) {
        if (line.cation == cation && line.anion == anion && line.cationValence == cv &&
            line.anionValence == av)
            return &line;
    }
    for (const ParameterLine& line : table.lines) {
        if (line.cation == cation && line.anion == anion &&
            line.cationValence == UnspecifiedValence && line.anionValence == av)
            return &line;
    }
    return nullptr;
}

// Single-bond covalent radii (Å) of the elements that form homonuclear anion pairs (S₂²⁻ of
// pyrite, Se₂²⁻, As₂⁴⁻ of the arsenopyrite family). Oxygen is left out: peroxides are rare, and
// the short O–O contacts of real files are mostly split positions of one disordered site.
double covalentRadius(const std::string& element) {
    static const std::map<std::string, double> radius{{"S", 1.05}, {"Se", 1.20}, {"Te", 1.38},
                                                      {"N", 0.71}, {"P", 1.07},  {"As", 1.19},
                                                      {"Sb", 1.39}};
    const auto at = radius.find(element);
    return at == radius.end() ? 0.0 : at->second;
}

// Anion sites with an image of an anion of their own element at a single-bond length (S–S of
// pyrite and marcasite at 2.1–2.2 Å): the pair shares one electron pair, so each atom carries one
// charge less than a lone anion (S₂²⁻). Found from the positions, as the bond list holds only the
// contacts between opposite charges. Split positions of a disordered site are no pair: both sites
// must be fully occupied. Each pair of sites is looked at once.
std::vector<bool> anionPairSites(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<bool>& anion) {
    const std::vector<Site>& sites = structure.sites;
    std::vector<bool> paired(sites.size(), false);
    const CellGeometry geometry = makeCellGeometry(structure.cell, {});
    // The spacings of the cell's lattice planes: a position further than |Δx|·h from another
    // along any axis is further in space, so most images are passed over unmeasured.
    const auto& [ca, cb, cg] = geometry.cosines;
    const double volume =
        structure.cell[0] * structure.cell[1] * structure.cell[2] *
        std::sqrt(std::max(0.0, 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg));
    const std::array<double, 3> spacing{
        volume / (structure.cell[1] * structure.cell[2] * geometry.sines[0]),
        volume / (structure.cell[0] * structure.cell[2] * geometry.sines[1]),
        volume / (structure.cell[0] * structure.cell[1] * geometry.sines[2])};
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const double single = 2.0 * covalentRadius(sites[i].element);
        if (paired[i] || !anion[i] || single == 0.0 || sites[i].g < 0.99) continue;
        const std::array<double, 3> p{sites[i].x, sites[i].y, sites[i].z};
        for (std::size_t j = i; j < sites.size() && !paired[i]; ++j) {
            if (!anion[j] || sites[j].element != sites[i].element || sites[j].g < 0.99) continue;
            for (const SymmetryOperator& op : operators) {
                std::array<double, 3> q = applyOperator(op, {sites[j].x, sites[j].y, sites[j].z});
                bool far = false;
                for (int k = 0; k < 3; ++k) {
                    q[k] -= std::round(q[k] - p[k]);
                    far = far || std::fabs(q[k] - p[k]) * spacing[k] > 1.15 * single;
                }
                if (far) continue;
                const double d = distanceIn(geometry, p, q);
                if (d >= 0.8 * single && d <= 1.15 * single) {
                    paired[i] = paired[j] = true;
                    break;
                }
            }
        }
    }
    return paired;
}

// The bond valences between two sites summed over their contacts, per pair of candidates.
struct PairSums {
    int centre = 0;
    int neighbour = 0;
    std::vector<double> s;  // [centre candidate][neighbour candidate], NaN without a line
};

// A set of sites of one element and role, choosing together.
struct Group {
    std::vector<int> sites;
    // Each option gives every site of the group its candidate index; the first `uniform`
    // options give all sites one state.
    std::vector<std::vector<int>> options;
    std::size_t uniform = 0;
    std::vector<double> charge;  // Σ m·g·V per option
};

// The states an element takes in most of its compounds as a cation. A sparsely occupied site
// does not set its own bond lengths: they are averages over the configurations of its disorder
// or over the other ions that share its position, so its sum cannot choose between states, and
// it keeps to these (Ti⁴⁺ beside Mg on an octahedron, C⁴⁺ of a disordered carbonate).
const std::vector<int>* usualStates(const std::string& element) {
    static const std::map<std::string, std::vector<int>> usual{
        {"H", {1}},     {"Li", {1}},    {"Be", {2}},      {"B", {3}},     {"C", {4}},
        {"N", {3, 5}},  {"Na", {1}},    {"Mg", {2}},      {"Al", {3}},    {"Si", {4}},
        {"P", {5}},     {"S", {4, 6}},  {"Cl", {5, 7}},   {"K", {1}},     {"Ca", {2}},
        {"Sc", {3}},    {"Ti", {4}},    {"V", {3, 4, 5}}, {"Cr", {3, 6}}, {"Mn", {2, 3, 4}},
        {"Fe", {2, 3}}, {"Co", {2, 3}}, {"Ni", {2}},      {"Cu", {1, 2}}, {"Zn", {2}},
        {"Ga", {3}},    {"Ge", {4}},    {"As", {3, 5}},   {"Se", {4, 6}}, {"Br", {5}},
        {"Rb", {1}},    {"Sr", {2}},    {"Y", {3}},       {"Zr", {4}},    {"Nb", {5}},
        {"Mo", {4, 6}}, {"Ru", {3, 4}}, {"Rh", {3}},      {"Pd", {2}},    {"Ag", {1}},
        {"Cd", {2}},    {"In", {3}},    {"Sn", {2, 4}},   {"Sb", {3, 5}}, {"Te", {4, 6}},
        {"I", {5, 7}},  {"Cs", {1}},    {"Ba", {2}},      {"La", {3}},    {"Ce", {3, 4}},
        {"Pr", {3}},    {"Nd", {3}},    {"Sm", {3}},      {"Eu", {2, 3}}, {"Gd", {3}},
        {"Tb", {3}},    {"Dy", {3}},    {"Ho", {3}},      {"Er", {3}},    {"Tm", {3}},
        {"Yb", {3}},    {"Lu", {3}},    {"Hf", {4}},      {"Ta", {5}},    {"W", {6}},
        {"Re", {7}},    {"Os", {4}},    {"Ir", {4}},      {"Pt", {2, 4}}, {"Au", {1, 3}},
        {"Hg", {1, 2}}, {"Tl", {1, 3}}, {"Pb", {2, 4}},   {"Bi", {3}},    {"Th", {4}},
        {"U", {4, 6}}};
    const auto at = usual.find(element);
    return at == usual.end() ? nullptr : &at->second;
}

// Below this occupancy a cation's sum does not choose its state.
constexpr double SparseOccupancy = 0.5;

// Hydrogen, deuterium (of neutron studies) or tritium.
bool isHydrogen(const std::string& element) {
    return element == "H" || element == "D" || element == "T";
}

// Protons per cell that the file's formula holds and no site places.
struct UnplacedProtons {
    double count = 0.0;
    // The formula describes the cell's sites (every element but H within 5 % of its count
    // times the formula units), so `count` is exact; otherwise it tells only that protons are
    // missing, as water whose oxygen no site places leaves the formula's O unmatched too.
    bool counted = false;
};

UnplacedProtons unplacedProtons(const CrystalStructure& structure, const OperatorTable& operators,
                                const std::vector<Group>& groups,
                                const std::vector<double>& weight) {
    double protons = 0.0;
    for (const auto& [element, count] : structure.formula)
        if (isHydrogen(element)) protons += count;
    if (protons <= 0.0) return {};
    std::map<std::string, double> inCell;
    for (const Site& site : structure.sites) {
        if (!site.element.empty())
            inCell[site.element] += multiplicityInCell(structure, site, operators) * site.g;
    }
    // Formula units in the cell: Z where the file gives it, else what the sites make of the
    // formula's first element other than H and O (whose water the sites may miss), else of O.
    double z = std::isfinite(structure.formulaUnits) ? structure.formulaUnits : 0.0;
    for (const char* skip : {"O", ""}) {
        for (const auto& [element, count] : structure.formula) {
            if (z > 0.0 || isHydrogen(element) || element == skip || count <= 0.0) continue;
            if (const auto at = inCell.find(element); at != inCell.end()) z = at->second / count;
        }
    }
    if (!(z > 0.0) || !std::isfinite(z)) return {};
    bool counted = true;
    for (const auto& [element, count] : structure.formula) {
        if (isHydrogen(element)) continue;
        const double expected = count * z;
        const auto at = inCell.find(element);
        if (at == inCell.end() || std::fabs(at->second - expected) > 0.05 * expected)
            counted = false;
    }
    double placed = 0.0;
    for (const Group& group : groups) {
        for (int site : group.sites) {
            if (isHydrogen(structure.sites[static_cast<std::size_t>(site)].element))
                placed += weight[static_cast<std::size_t>(site)];
        }
    }
    return {std::max(0.0, protons * z - placed), counted};
}

}  // namespace

std::vector<std::string> balanceLines(const CrystalStructure& structure,
                                      const ValenceAssignment& assignment) {
    std::vector<std::string> lines;
    if (assignment.outcome != AssignmentOutcome::Assigned) return lines;
    if (assignment.protonsMissing)
        lines.push_back(
            formatText("The cell keeps %+.2lf, as if hydrogen of its oxygen were not located.",
                       assignment.charge));
    if (assignment.hiddenProtons > 0.0)
        lines.push_back(
            formatText("The formula holds %.2lf H per cell outside the sums (no site, "
                       "or no table line): the other ions keep %+.2lf.",
                       assignment.hiddenProtons, assignment.charge));
    if (!assignment.averagedGroupSites.empty())
        lines.push_back(formatText(
            "%s takes the average %.3lf: no whole-number states make the cell neutral.",
            structure.sites[static_cast<std::size_t>(assignment.averagedGroupSites.front())]
                .element.c_str(),
            assignment.average));
    if (assignment.chargeLeft)
        lines.push_back(formatText(
            "No neutral assignment exists with the file's occupancies: the cell keeps %+.2lf.",
            assignment.charge));
    return lines;
}

const char* valencesOrigin(const ValenceSummary& summary, const ValenceAssignment& assignment) {
    if (summary.sites.empty()) return "none";
    bool stated = false, assigned = false;
    for (const SiteSummary& site : summary.sites) {
        const bool own =
            assignment.outcome == AssignmentOutcome::Assigned &&
            assignment.sources[static_cast<std::size_t>(site.site)] == ValenceSource::Assigned;
        (own ? assigned : stated) = true;
    }
    return assigned && stated ? "mixed" : assigned ? "assigned" : "stated";
}

double electronegativity(const std::string& element) {
    static const std::map<std::string, double> pauling{
        {"H", 2.20},  {"Li", 0.98}, {"Be", 1.57}, {"B", 2.04},  {"C", 2.55},  {"N", 3.04},
        {"O", 3.44},  {"F", 3.98},  {"Na", 0.93}, {"Mg", 1.31}, {"Al", 1.61}, {"Si", 1.90},
        {"P", 2.19},  {"S", 2.58},  {"Cl", 3.16}, {"K", 0.82},  {"Ca", 1.00}, {"Sc", 1.36},
        {"Ti", 1.54}, {"V", 1.63},  {"Cr", 1.66}, {"Mn", 1.55}, {"Fe", 1.83}, {"Co", 1.88},
        {"Ni", 1.91}, {"Cu", 1.90}, {"Zn", 1.65}, {"Ga", 1.81}, {"Ge", 2.01}, {"As", 2.18},
        {"Se", 2.55}, {"Br", 2.96}, {"Rb", 0.82}, {"Sr", 0.95}, {"Y", 1.22},  {"Zr", 1.33},
        {"Nb", 1.6},  {"Mo", 2.16}, {"Tc", 1.9},  {"Ru", 2.2},  {"Rh", 2.28}, {"Pd", 2.20},
        {"Ag", 1.93}, {"Cd", 1.69}, {"In", 1.78}, {"Sn", 1.96}, {"Sb", 2.05}, {"Te", 2.1},
        {"I", 2.66},  {"Cs", 0.79}, {"Ba", 0.89}, {"La", 1.10}, {"Ce", 1.12}, {"Pr", 1.13},
        {"Nd", 1.14}, {"Sm", 1.17}, {"Eu", 1.2},  {"Gd", 1.2},  {"Tb", 1.1},  {"Dy", 1.22},
        {"Ho", 1.23}, {"Er", 1.24}, {"Tm", 1.25}, {"Yb", 1.1},  {"Lu", 1.27}, {"Hf", 1.3},
        {"Ta", 1.5},  {"W", 2.36},  {"Re", 1.9},  {"Os", 2.2},  {"Ir", 2.20}, {"Pt", 2.28},
        {"Au", 2.54}, {"Hg", 2.00}, {"Tl", 1.62}, {"Pb", 2.33}, {"Bi", 2.02}, {"Po", 2.0},
        {"At", 2.2},  {"Fr", 0.7},  {"Ra", 0.9},  {"Ac", 1.1},  {"Th", 1.3},  {"Pa", 1.5},
        {"U", 1.38},  {"Np", 1.36}, {"Pu", 1.28}, {"Am", 1.3},  {"Cm", 1.3},  {"Pm", 1.13},
        {"Xe", 2.6},  {"Kr", 3.0}};
    const auto at = pauling.find(element);
    return at == pauling.end() ? 0.0 : at->second;
}

std::vector<bool> anionSites(const CrystalStructure& structure, const std::vector<Bond>& bonds,
                             const ParameterTable& table) {
    const std::vector<Site>& sites = structure.sites;
    // Only the structure's own elements are gathered: every element of a table of 2000 lines
    // took a tenth of a typical run.
    std::set<std::string> present, cations, anions;
    for (const Site& site : sites) present.insert(site.element);
    for (const ParameterLine& line : table.lines) {
        if (present.count(line.cation)) cations.insert(line.cation);
        if (present.count(line.anion)) anions.insert(line.anion);
    }
    // The nearest contact of each site.
    std::vector<int> nearest(sites.size(), -1);
    std::vector<double> shortest(sites.size(), std::numeric_limits<double>::max());
    for (const Bond& bond : bonds) {
        const auto c = static_cast<std::size_t>(bond.centre);
        if (bond.d < shortest[c] &&
            !sites[static_cast<std::size_t>(bond.neighbour)].element.empty()) {
            shortest[c] = bond.d;
            nearest[c] = bond.neighbour;
        }
    }
    std::vector<bool> anion(sites.size(), false);
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const std::string& element = sites[i].element;
        if (element.empty() || !anions.count(element)) continue;
        if (!cations.count(element)) {
            anion[i] = true;
            continue;
        }
        // Both in the table: the nearest contact's pull decides. A lone site counts as an anion
        // where its element draws electrons as strongly as sulfur.
        const double own = electronegativity(element);
        if (nearest[i] < 0) {
            anion[i] = own >= electronegativity("S");
            continue;
        }
        const double other = electronegativity(sites[static_cast<std::size_t>(nearest[i])].element);
        anion[i] = !(other > own + 0.01);
    }
    return anion;
}

ValenceAssignment assignValences(const CrystalStructure& structure, const OperatorTable& operators,
                                 const std::vector<Bond>& bonds, const ParameterTable& table,
                                 double bvB, bool ignoreStated) {
    ValenceAssignment result;
    const std::vector<Site>& sites = structure.sites;
    const std::size_t n = sites.size();
    result.valences.assign(n, 0.0);
    result.sources.assign(n, ValenceSource::None);
    bool needed = ignoreStated;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = formalValence(sites[i]);
        if (v != 0.0) {
            result.valences[i] = v;
            result.sources[i] = ValenceSource::File;
        } else if (!sites[i].element.empty()) {
            needed = true;
        }
    }
    if (!needed) return result;

    // The table's lines between the structure's own elements, in file order, picked once: the
    // searches below read those for every site, bond and candidate, where the whole table of
    // 2000 lines made this a tenth of a run.
    std::set<std::string> elements;
    for (const Site& site : sites) elements.insert(site.element);
    // The table keeps one cation's lines together: its presence is looked up once a run of them.
    ParameterTable own;
    const std::string* cation = nullptr;
    bool cationPresent = false;
    for (const ParameterLine& line : table.lines) {
        if (cation == nullptr || line.cation != *cation) {
            cation = &line.cation;
            cationPresent = elements.count(line.cation) > 0;
        }
        if (cationPresent && elements.count(line.anion)) own.lines.push_back(line);
    }

    // Roles: a stated valence tells its sign, the chemistry decides elsewhere.
    std::vector<bool> anion = anionSites(structure, bonds, own);
    for (std::size_t i = 0; i < n; ++i) {
        if (!ignoreStated && result.valences[i] != 0.0) anion[i] = result.valences[i] < 0.0;
    }
    std::set<std::string> cationElements, anionElements;
    for (std::size_t i = 0; i < n; ++i) {
        if (sites[i].element.empty()) continue;
        (anion[i] ? anionElements : cationElements).insert(sites[i].element);
    }
    // Candidates: the states that the table lists for the element with the counter-ions present.
    std::vector<std::vector<int>> candidates(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& element = sites[i].element;
        if (element.empty()) continue;
        if (!ignoreStated && result.sources[i] == ValenceSource::File) {
            const double v = result.valences[i];
            if (v == std::round(v)) candidates[i] = {static_cast<int>(v)};
            continue;
        }
        std::set<int> states;
        bool unspecified = false;
        for (const ParameterLine& line : own.lines) {
            if (anion[i] && line.anion == element && cationElements.count(line.cation) &&
                line.anionValence > 0)
                states.insert(-line.anionValence);
            if (!anion[i] && line.cation == element && anionElements.count(line.anion) &&
                line.cationValence > 0) {
                if (line.cationValence == UnspecifiedValence) {
                    unspecified = true;
                } else {
                    states.insert(line.cationValence);
                }
            }
        }
        // A line for every state of the cation (Ti–N, Mo–Se, P–Se) sums any of them: where the
        // table's own lines give the element at most one state with these anions, the states it
        // knows for the element with any anion are open too (P⁴⁺ of P₂Se₆, whose only P–Se
        // line of its own is for P³⁺). Where they give several, those are the chemistry's.
        if (unspecified && states.size() <= 1) {
            for (const ParameterLine& line : table.lines) {
                if (line.cation == element && line.cationValence > 0 &&
                    line.cationValence != UnspecifiedValence)
                    states.insert(line.cationValence);
            }
        }
        if (!anion[i] && sites[i].g < SparseOccupancy && states.size() > 1) {
            if (const std::vector<int>* usual = usualStates(element)) {
                std::set<int> kept;
                for (int v : *usual)
                    if (states.count(v)) kept.insert(v);
                if (!kept.empty()) states = kept;
            }
        }
        candidates[i].assign(states.begin(), states.end());
    }

    // An anion of a homonuclear pair takes one charge less; its bonds to cations keep the lines of
    // the element's usual anion state (the one most lines of the table give it), as the table has
    // no S⁻ lines.
    const std::vector<bool> paired = anionPairSites(structure, operators, anion);
    std::vector<int> lineState(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (!paired[i]) continue;
        std::map<int, int> count;
        for (const ParameterLine& line : table.lines) {
            if (line.anion == sites[i].element && line.anionValence > 0 &&
                line.anionValence != UnspecifiedValence)
                ++count[line.anionValence];
        }
        for (const auto& [state, lines] : count) {
            if (lineState[i] == 0 || lines > count[lineState[i]]) lineState[i] = state;
        }
        if (lineState[i] < 2) {
            lineState[i] = 0;
            continue;
        }
        if (ignoreStated || result.sources[i] != ValenceSource::File)
            candidates[i] = {1 - lineState[i]};
    }

    std::vector<double> weight(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        if (!candidates[i].empty())
            weight[i] = multiplicityInCell(structure, sites[i], operators) * sites[i].g;
    }
    // Sum the contacts between opposite roles per pair of sites and candidates: the search
    // below then never looks at a single bond again.
    std::map<std::pair<int, int>, std::size_t> pairIndex;
    std::vector<PairSums> pairs;
    for (const Bond& bond : bonds) {
        const auto c = static_cast<std::size_t>(bond.centre);
        const auto m = static_cast<std::size_t>(bond.neighbour);
        if (anion[c] == anion[m] || candidates[c].empty() || candidates[m].empty()) continue;
        auto at = pairIndex.find({bond.centre, bond.neighbour});
        if (at == pairIndex.end()) {
            at = pairIndex.emplace(std::make_pair(bond.centre, bond.neighbour), pairs.size()).first;
            pairs.push_back(
                {bond.centre, bond.neighbour,
                 std::vector<double>(candidates[c].size() * candidates[m].size(), 0.0)});
        }
        PairSums& pair = pairs[at->second];
        const std::size_t cation = anion[c] ? m : c;
        const std::size_t anionSite = anion[c] ? c : m;
        for (std::size_t a = 0; a < candidates[c].size(); ++a) {
            for (std::size_t b = 0; b < candidates[m].size(); ++b) {
                const int cv = candidates[cation][anion[c] ? b : a];
                const int av = lineState[anionSite] > 0 ? lineState[anionSite]
                                                        : -candidates[anionSite][anion[c] ? a : b];
                double& s = pair.s[a * candidates[m].size() + b];
                const ParameterLine* line =
                    lineFor(own, sites[cation].element, cv, sites[anionSite].element, av);
                if (line == nullptr) {
                    s = std::numeric_limits<double>::quiet_NaN();
                    continue;
                }
                const double lineB = line->b > 0.0 ? line->b : bvB;
                s += sites[m].g * std::exp((line->r0 - bond.d) / lineB);
            }
        }
    }
    std::vector<std::vector<std::size_t>> pairsOf(n);
    for (std::size_t p = 0; p < pairs.size(); ++p)
        pairsOf[static_cast<std::size_t>(pairs[p].centre)].push_back(p);

    // Groups: the sites of one element and role.
    std::vector<Group> groups;
    std::map<std::pair<std::string, bool>, std::size_t> groupOf;
    for (std::size_t i = 0; i < n; ++i) {
        if (candidates[i].empty() || pairsOf[i].empty()) continue;
        const auto key = std::make_pair(sites[i].element, static_cast<bool>(anion[i]));
        auto at = groupOf.find(key);
        if (at == groupOf.end()) {
            at = groupOf.emplace(key, groups.size()).first;
            groups.emplace_back();
        }
        groups[at->second].sites.push_back(static_cast<int>(i));
    }
    // A site without a contact in the window (Cs of CsSnCl3, whose Cl lie beyond 3.5 Å) still
    // carries its charge: where its element has one state, the cell counts it.
    std::vector<bool> fixed(n, false);
    double fixedCharge = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (candidates[i].size() != 1 || !pairsOf[i].empty()) continue;
        fixed[i] = true;
        fixedCharge += weight[i] * candidates[i][0];
    }
    if (groups.empty()) {
        result.outcome = AssignmentOutcome::Failed;
        result.reason = "no site has a cation\u2013anion contact with table parameters";
        return result;
    }
    for (Group& group : groups) {
        // One state for all: those every site of the group may take.
        const std::vector<int>& first = candidates[static_cast<std::size_t>(group.sites[0])];
        for (int v : first) {
            std::vector<int> option;
            for (int site : group.sites) {
                const auto& own = candidates[static_cast<std::size_t>(site)];
                const auto at = std::find(own.begin(), own.end(), v);
                if (at == own.end()) break;
                option.push_back(static_cast<int>(at - own.begin()));
            }
            if (option.size() == group.sites.size()) group.options.push_back(option);
        }
        group.uniform = group.options.size();
        long count = 1;
        for (int site : group.sites) {
            count *= static_cast<long>(candidates[static_cast<std::size_t>(site)].size());
            if (count > MaxMixedOptions) break;
        }
        if (group.sites.size() > 1 && count <= MaxMixedOptions) {
            std::vector<int> option(group.sites.size(), 0);
            for (long k = 0; k < count; ++k) {
                long rest = k;
                bool uniform = true;
                for (std::size_t s = 0; s < group.sites.size(); ++s) {
                    const auto size = static_cast<long>(
                        candidates[static_cast<std::size_t>(group.sites[s])].size());
                    option[s] = static_cast<int>(rest % size);
                    rest /= size;
                }
                const int v0 = candidates[static_cast<std::size_t>(group.sites[0])]
                                         [static_cast<std::size_t>(option[0])];
                for (std::size_t s = 1; s < group.sites.size(); ++s)
                    uniform = uniform && candidates[static_cast<std::size_t>(group.sites[s])]
                                                   [static_cast<std::size_t>(option[s])] == v0;
                if (!uniform) group.options.push_back(option);
            }
        }
        // Two rows of one element at one position that together fill it at most: a file lists
        // the element twice there only to tell the rows apart, by their states (Fe²⁺ and Fe³⁺
        // from a chemical analysis or Mössbauer spectra), which their sums, being the same,
        // cannot. The row listed first takes the lower state, as formulas write them.
        std::vector<std::pair<std::size_t, std::size_t>> ordered;
        for (std::size_t a = 0; a < group.sites.size(); ++a) {
            for (std::size_t b = a + 1; b < group.sites.size(); ++b) {
                const Site& first = sites[static_cast<std::size_t>(group.sites[a])];
                const Site& second = sites[static_cast<std::size_t>(group.sites[b])];
                if (std::fabs(first.x - second.x) < 1e-4 && std::fabs(first.y - second.y) < 1e-4 &&
                    std::fabs(first.z - second.z) < 1e-4 && first.g + second.g <= 1.0 + 1e-6)
                    ordered.emplace_back(a, b);
            }
        }
        const auto inOrder = [&](const std::vector<int>& option) {
            return std::all_of(ordered.begin(), ordered.end(), [&](const auto& pair) {
                const auto a = static_cast<std::size_t>(group.sites[pair.first]);
                const auto b = static_cast<std::size_t>(group.sites[pair.second]);
                return candidates[a][static_cast<std::size_t>(option[pair.first])] <
                       candidates[b][static_cast<std::size_t>(option[pair.second])];
            });
        };
        if (!ordered.empty() && std::any_of(group.options.begin(), group.options.end(), inOrder)) {
            std::size_t uniformKept = 0;
            std::vector<std::vector<int>> kept;
            for (std::size_t o = 0; o < group.options.size(); ++o) {
                if (!inOrder(group.options[o])) continue;
                uniformKept += o < group.uniform;
                kept.push_back(group.options[o]);
            }
            group.options = std::move(kept);
            group.uniform = uniformKept;
        }
        for (const std::vector<int>& option : group.options) {
            double q = 0.0;
            for (std::size_t s = 0; s < group.sites.size(); ++s) {
                const auto site = static_cast<std::size_t>(group.sites[s]);
                q += weight[site] * candidates[site][static_cast<std::size_t>(option[s])];
            }
            group.charge.push_back(q);
        }
    }

    // Neutral within the rounding of occupancies: a share of the cell's positive charge.
    double positive = 0.0;
    for (const Group& group : groups) {
        double most = 0.0;
        for (double q : group.charge) most = std::max(most, q);
        positive += most;
    }
    positive += std::max(0.0, fixedCharge);
    double tolerance = std::max(0.05, 0.01 * positive);
    // The anions' charge, each at its largest state: the scale of a charge left over.
    double negative = 0.0;
    for (const Group& group : groups) {
        double least = 0.0;
        for (double q : group.charge) least = std::min(least, q);
        negative -= least;
    }
    negative -= std::min(0.0, fixedCharge);
    double nearest = std::numeric_limits<double>::infinity();  // |Σ m·g·V| of any leaf reached

    std::vector<int> choice(n, -1);
    // Set while the search allows for protons no site places: an oxygen's shortfall may then be
    // its missing hydrogen's bond, and only an excess counts against the cations around it.
    bool protonsUnplaced = false;
    // Each site's sum over the contacts whose other site has its choice; NaN where a pair of
    // candidates has no line.
    std::vector<double> sums(n, 0.0), nextSums(n, 0.0);
    const auto fillSums = [&](std::vector<double>& into) {
        for (const Group& group : groups) {
            for (int site : group.sites) {
                const auto i = static_cast<std::size_t>(site);
                const auto c = static_cast<std::size_t>(choice[i]);
                double bvs = 0.0;
                for (std::size_t p : pairsOf[i]) {
                    const PairSums& pair = pairs[p];
                    const auto m = static_cast<std::size_t>(pair.neighbour);
                    if (choice[m] < 0) continue;
                    bvs += pair.s[c * candidates[m].size() + static_cast<std::size_t>(choice[m])];
                }
                into[i] = bvs;
            }
        }
    };
    // Σ m·g·(BVS − V)², the sites of `averaged` (if any) at the valence `average`.
    const auto misfitOf = [&](const std::vector<double>& bvsOf, std::ptrdiff_t averaged,
                              double average) {
        double total = 0.0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            for (int site : groups[g].sites) {
                const auto i = static_cast<std::size_t>(site);
                const double bvs = bvsOf[i];
                if (std::isnan(bvs)) return std::numeric_limits<double>::infinity();
                // A paired anion's sum also holds the bond within its pair, which no line of the
                // table covers: its state comes from the pair, not from its sum.
                if (lineState[i] > 0) continue;
                const double v =
                    static_cast<std::ptrdiff_t>(g) == averaged
                        ? average
                        : std::fabs(candidates[i][static_cast<std::size_t>(choice[i])]);
                if (protonsUnplaced && anion[i] && sites[i].element == "O" && bvs < v) continue;
                total += weight[i] * (bvs - v) * (bvs - v);
            }
        }
        return total;
    };
    const auto misfit = [&]() {
        fillSums(sums);
        return misfitOf(sums, -1, 0.0);
    };
    // Branch over the groups, each taking its uniform options and, for `mixedGroup`, its mixed
    // ones, pruning where the charge still open cannot reach neutrality. In the search for an
    // average, the group `averaged` takes whatever valence within [averageLow, averageHigh]
    // makes the cell neutral, its sums interpolated between the states on either side.
    std::vector<double> least(groups.size() + 1, 0.0), most(groups.size() + 1, 0.0);
    long evaluations = 0;
    bool exhausted = false;
    double lower = -tolerance, upper = tolerance;  // the window of Σ m·g·V searched
    std::ptrdiff_t averaged = -1;
    int averageLow = 0, averageHigh = 0;
    double averagedWeight = 0.0, bestAverage = 0.0;
    // The group's uniform option for state `v`, or none.
    const auto uniformOption = [&](const Group& group, int v) -> const std::vector<int>* {
        for (std::size_t o = 0; o < group.uniform; ++o) {
            const auto first = static_cast<std::size_t>(group.sites[0]);
            if (candidates[first][static_cast<std::size_t>(group.options[o][0])] == v)
                return &group.options[o];
        }
        return nullptr;
    };
    const auto setOption = [&](const Group& group, const std::vector<int>& option) {
        for (std::size_t s = 0; s < group.sites.size(); ++s)
            choice[static_cast<std::size_t>(group.sites[s])] = option[s];
    };
    const auto averagedMisfit = [&](double charge, double& average) {
        const Group& group = groups[static_cast<std::size_t>(averaged)];
        average = -charge / averagedWeight;
        if (average < averageLow - 1e-9 || average > averageHigh + 1e-9)
            return std::numeric_limits<double>::infinity();
        const int below = std::min(static_cast<int>(std::floor(average)), averageHigh - 1);
        const std::vector<int>* low = uniformOption(group, below);
        const std::vector<int>* high = uniformOption(group, below + 1);
        if (low == nullptr || high == nullptr) return std::numeric_limits<double>::infinity();
        setOption(group, *high);
        fillSums(nextSums);
        setOption(group, *low);
        fillSums(sums);
        const double share = average - below;
        for (std::size_t i = 0; i < n; ++i) sums[i] += share * (nextSums[i] - sums[i]);
        return misfitOf(sums, averaged, average);
    };
    const auto search = [&](std::ptrdiff_t mixedGroup, double& bestMisfit, std::vector<int>& best) {
        // The averaged group adds its charge only at the leaf: every bound holds its range.
        least[groups.size()] = averaged >= 0 ? averagedWeight * averageLow : 0.0;
        most[groups.size()] = averaged >= 0 ? averagedWeight * averageHigh : 0.0;
        for (std::size_t g = groups.size(); g-- > 0;) {
            const Group& group = groups[g];
            const std::size_t end = static_cast<std::ptrdiff_t>(g) == averaged ? 0
                                    : static_cast<std::ptrdiff_t>(g) == mixedGroup
                                        ? group.options.size()
                                        : group.uniform;
            double lo = std::numeric_limits<double>::max(), hi = -lo;
            for (std::size_t o = 0; o < end; ++o) {
                lo = std::min(lo, group.charge[o]);
                hi = std::max(hi, group.charge[o]);
            }
            least[g] = least[g + 1] + (end ? lo : 0.0);
            most[g] = most[g + 1] + (end ? hi : 0.0);
        }
        std::function<void(std::size_t, double)> visit = [&](std::size_t g, double charge) {
            if (exhausted) return;
            if (charge + least[g] > upper || charge + most[g] < lower) return;
            if (g == groups.size()) {
                if (++evaluations > MaxEvaluations) {
                    exhausted = true;
                    return;
                }
                if (averaged < 0) nearest = std::min(nearest, std::fabs(charge));
                double average = 0.0;
                const double value = averaged >= 0 ? averagedMisfit(charge, average) : misfit();
                if (value < bestMisfit) {
                    bestMisfit = value;
                    best = choice;
                    bestAverage = average;
                }
                return;
            }
            const Group& group = groups[g];
            if (static_cast<std::ptrdiff_t>(g) == averaged) {
                // Its charge is what the others leave; the leaf works it out.
                setOption(group, group.options[0]);
                visit(g + 1, charge);
                for (int site : group.sites) choice[static_cast<std::size_t>(site)] = -1;
                return;
            }
            const std::size_t begin =
                static_cast<std::ptrdiff_t>(g) == mixedGroup ? group.uniform : 0;
            const std::size_t end =
                static_cast<std::ptrdiff_t>(g) == mixedGroup ? group.options.size() : group.uniform;
            // The mixed group takes its uniform options only in the plain search.
            for (std::size_t o = begin; o < end; ++o) {
                setOption(group, group.options[o]);
                visit(g + 1, charge + group.charge[o]);
            }
            for (int site : group.sites) choice[static_cast<std::size_t>(site)] = -1;
        };
        visit(0, fixedCharge);
    };
    double uniformMisfit = std::numeric_limits<double>::infinity();
    double mixedMisfit = uniformMisfit;
    std::vector<int> uniformBest, mixedBest;
    const auto searchAll = [&]() {
        search(-1, uniformMisfit, uniformBest);
        for (std::size_t g = 0; g < groups.size() && !exhausted; ++g) {
            if (groups[g].options.size() > groups[g].uniform)
                search(static_cast<std::ptrdiff_t>(g), mixedMisfit, mixedBest);
        }
    };
    const auto searchWithin = [&](double from, double to) {
        lower = from;
        upper = to;
        uniformMisfit = mixedMisfit = std::numeric_limits<double>::infinity();
        searchAll();
        return !std::isinf(uniformMisfit) || !std::isinf(mixedMisfit);
    };
    // Hydrogen that the formula holds and no site places leaves the other ions that much
    // negative charge (RbMo₂P₂O₁₀·0.9H₂O with its water's protons not located).
    const UnplacedProtons unplaced = unplacedProtons(structure, operators, groups, weight);
    bool found = false;
    if (unplaced.counted && unplaced.count > tolerance) {
        protonsUnplaced = true;
        found = searchWithin(-unplaced.count - tolerance, -unplaced.count + tolerance);
        if (found) result.hiddenProtons = unplaced.count;
    }
    // Hydrogen is often not located: its oxygen then leaves the cell negative by up to one
    // charge per proton. Such a cell may keep an excess of anion charge up to two per oxygen,
    // and says how much. That is tried first where the formula says protons are missing
    // without saying how many (a cell neutral without them would need cations above their
    // sums), else where no neutral assignment exists. Hydrogen is named where a site or the
    // formula holds it, or where the file gives no formula.
    double hydroxylOxygen = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (anion[i] && sites[i].element == "O" && !candidates[i].empty())
            hydroxylOxygen += weight[i];
    }
    const bool hydrogen = structure.formula.empty() ||
                          std::any_of(structure.formula.begin(), structure.formula.end(),
                                      [](const auto& item) { return isHydrogen(item.first); }) ||
                          std::any_of(sites.begin(), sites.end(),
                                      [](const Site& site) { return isHydrogen(site.element); });
    const auto searchWithProtons = [&]() {
        protonsUnplaced = true;
        result.protonsMissing = true;
        return searchWithin(-2.0 * hydroxylOxygen - tolerance, tolerance);
    };
    if (!found && !exhausted && !unplaced.counted && unplaced.count > 0.5 && hydroxylOxygen > 0.0)
        found = searchWithProtons();
    if (!found && !exhausted) {
        protonsUnplaced = false;
        result.protonsMissing = false;
        found = searchWithin(-tolerance, tolerance);
    }
    // One element whose sites cannot all take one whole-number state (Mn^3.5+ of LiMn₂O₄, Cu of
    // YBa₂Cu₃O₆.₉) takes the average that makes the cell neutral, within its usual states, the
    // best fitting such element where several could. Not where protons are counted missing:
    // they were allowed for above.
    if (!found && !exhausted) {
        double bestMisfit = std::numeric_limits<double>::infinity();
        std::vector<int> best;
        std::ptrdiff_t bestGroup = -1;
        double chosenAverage = 0.0;
        const long spent = evaluations;
        for (std::size_t g = 0; g < groups.size() && !exhausted; ++g) {
            const Group& group = groups[g];
            const std::string& element = sites[static_cast<std::size_t>(group.sites[0])].element;
            const std::vector<int>* usual = usualStates(element);
            if (anion[static_cast<std::size_t>(group.sites[0])] || usual == nullptr ||
                group.uniform < 2)
                continue;
            averageLow = usual->front();
            averageHigh = usual->back();
            if (averageHigh <= averageLow) continue;
            averagedWeight = 0.0;
            for (int site : group.sites) averagedWeight += weight[static_cast<std::size_t>(site)];
            if (averagedWeight <= 0.0) continue;
            averaged = static_cast<std::ptrdiff_t>(g);
            double value = std::numeric_limits<double>::infinity();
            std::vector<int> option;
            lower = -tolerance;
            upper = tolerance;
            search(-1, value, option);
            if (value < bestMisfit) {
                bestMisfit = value;
                best = option;
                bestGroup = averaged;
                chosenAverage = bestAverage;
            }
        }
        averaged = -1;
        // Too many to weigh for an average leaves the fall-backs below their own count.
        if (exhausted) {
            exhausted = false;
            evaluations = spent;
            bestGroup = -1;
        }
        if (bestGroup >= 0) {
            found = true;
            uniformMisfit = bestMisfit;
            uniformBest = best;
            mixedMisfit = std::numeric_limits<double>::infinity();
            result.averagedGroupSites = groups[static_cast<std::size_t>(bestGroup)].sites;
            result.average = chosenAverage;
        }
    }
    // Partial occupancies (O6.9 of YBa₂Cu₃O₆.₉) can leave no whole-number assignment neutral:
    // where no hydrogen is named, those nearest to neutral within a twentieth of the anions'
    // charge serve, and say what they leave. Only beyond that may protons be missing after all:
    // some formulas leave out the H of hydroxyl that no site places (antigorite).
    if (!found && !exhausted && !hydrogen) {
        const double wide = std::max(tolerance, 0.05 * negative);
        found = searchWithin(-wide, wide) && !exhausted &&
                searchWithin(-nearest - tolerance, nearest + tolerance);
        result.chargeLeft = found;
    }
    if (!found && !exhausted && hydroxylOxygen > 0.0) found = searchWithProtons();
    if (exhausted) {
        result.outcome = AssignmentOutcome::Failed;
        result.reason =
            formatText("more than %ld charge-neutral assignments to weigh", MaxEvaluations);
        return result;
    }
    const bool mixed = mixedMisfit < MixedGain * uniformMisfit ||
                       (std::isinf(uniformMisfit) && !std::isinf(mixedMisfit));
    const double chosen = mixed ? mixedMisfit : uniformMisfit;
    if (std::isinf(chosen)) {
        result.outcome = AssignmentOutcome::Failed;
        result.reason = "no charge-neutral assignment of the states the table lists";
        return result;
    }
    const std::vector<int>& best = mixed ? mixedBest : uniformBest;
    result.outcome = AssignmentOutcome::Assigned;
    result.misfit = chosen;
    result.mixed = mixed;
    std::vector<bool> isAveraged(n, false);
    for (int site : result.averagedGroupSites) isAveraged[static_cast<std::size_t>(site)] = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (best[i] < 0 && !fixed[i]) continue;
        const double v = fixed[i]        ? candidates[i][0]
                         : isAveraged[i] ? result.average
                                         : candidates[i][static_cast<std::size_t>(best[i])];
        result.charge += weight[i] * v;
        if (result.sources[i] == ValenceSource::File && !ignoreStated) continue;
        result.sources[i] = ValenceSource::Assigned;
        result.valences[i] = v;
    }
    return result;
}

}  // namespace tarnell
