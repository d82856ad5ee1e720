#include "landscape/landscape_frame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "settings/numbers.h"
#include "settings/text.h"
#include "valence/parameter_table.h"

namespace tarnell {

namespace {

// Images of one site closer than this are one atom (real files round special positions).
constexpr double SameImageDistance = 0.02;  // Å
// The table writes whole valences, 9 for one it leaves open.
constexpr double SameValence = 1e-3;

// A file without oxidation numbers still says which atoms are anions: these elements are,
// with their usual valence, whatever else they could be.
struct UsualAnion {
    const char* element;
    int valence;
};
constexpr UsualAnion UsualAnions[] = {{"O", -2}, {"F", -1},  {"Cl", -1}, {"Br", -1}, {"I", -1},
                                      {"S", -2}, {"Se", -2}, {"Te", -2}, {"N", -3}};

bool valenceIs(int tableValence, double value) {
    return std::fabs(tableValence - value) < SameValence;
}

std::string ionName(const std::string& element, double valence) {
    const int whole = static_cast<int>(std::lround(std::fabs(valence)));
    std::string name = element;
    if (whole != 1 || std::fabs(std::fabs(valence) - 1.0) > SameValence) {
        name += std::fabs(valence - std::round(valence)) < SameValence
                    ? std::to_string(whole)
                    : formatText("%g", std::fabs(valence));
    }
    return name + (valence > 0 ? "+" : "-");
}

const ParameterLine* lineFor(const ParameterTable& table, const std::string& cation,
                             double cationValence, const std::string& anion, double anionValence) {
    for (const double wanted : {cationValence, static_cast<double>(UnspecifiedValence)}) {
        for (const ParameterLine& line : table.lines) {
            if (line.cation == cation && line.anion == anion &&
                valenceIs(line.cationValence, wanted) &&
                valenceIs(line.anionValence, -anionValence))
                return &line;
        }
    }
    return nullptr;
}

// Cartesian distance of two fractional positions under the minimum image of the cell's metric.
struct Metric {
    double g[3][3]{};
};

Metric metricOf(const std::array<double, 6>& cell) {
    const double toRad = std::numbers::pi / 180.0;
    const double ca = std::cos(cell[3] * toRad), cb = std::cos(cell[4] * toRad),
                 cg = std::cos(cell[5] * toRad);
    Metric m;
    m.g[0][0] = cell[0] * cell[0];
    m.g[1][1] = cell[1] * cell[1];
    m.g[2][2] = cell[2] * cell[2];
    m.g[0][1] = m.g[1][0] = cell[0] * cell[1] * cg;
    m.g[0][2] = m.g[2][0] = cell[0] * cell[2] * cb;
    m.g[1][2] = m.g[2][1] = cell[1] * cell[2] * ca;
    return m;
}

double wrapped(double x) {
    x -= std::floor(x);
    return x >= 1.0 ? 0.0 : x;
}

bool samePlace(const Metric& m, const std::array<double, 3>& p, const std::array<double, 3>& q) {
    std::array<double, 3> d{};
    for (int i = 0; i < 3; ++i) d[i] = (p[i] - q[i]) - std::round(p[i] - q[i]);
    double sq = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sq += d[i] * m.g[i][j] * d[j];
    return sq < SameImageDistance * SameImageDistance;
}

// Every image of one position in the cell, each once.
std::vector<std::array<double, 3>> imagesInCell(const std::array<double, 3>& x,
                                                const std::vector<SymmetryOperator>& operators,
                                                const Metric& metric) {
    std::vector<std::array<double, 3>> images;
    for (const SymmetryOperator& op : operators) {
        std::array<double, 3> y{};
        for (int i = 0; i < 3; ++i) {
            double v = op.t[i];
            for (int j = 0; j < 3; ++j) v += op.r[i][j] * x[j];
            y[i] = wrapped(v);
        }
        if (std::none_of(images.begin(), images.end(),
                         [&](const auto& seen) { return samePlace(metric, seen, y); }))
            images.push_back(y);
    }
    return images;
}

}  // namespace

std::optional<TestIon> parseTestIon(const std::string& text) {
    std::size_t i = 0;
    if (i >= text.size() || text[i] < 'A' || text[i] > 'Z') return std::nullopt;
    ++i;
    if (i < text.size() && text[i] >= 'a' && text[i] <= 'z') ++i;
    TestIon ion;
    ion.element = text.substr(0, i);
    int charge = 1;
    if (i < text.size() && text[i] >= '1' && text[i] <= '9') {
        charge = text[i] - '0';
        ++i;
    }
    if (i + 1 != text.size() || (text[i] != '+' && text[i] != '-')) return std::nullopt;
    ion.valence = text[i] == '+' ? charge : -charge;
    return ion;
}

std::string testIonName(const TestIon& ion) {
    return ionName(ion.element, ion.valence);
}

Status buildLandscapeFrame(const CrystalStructure& structure,
                           const std::vector<SymmetryOperator>& operators,
                           const ParameterTable& table, const TestIon& ion,
                           const std::vector<std::string>& mobileLabels, double defaultB,
                           LandscapeFrame& frame, const std::string& preferredReference) {
    // The preferred reference's lines first, each group in file order: the first match is then
    // the preferred line wherever there is one.
    ParameterTable ordered = table;
    if (!preferredReference.empty()) {
        std::stable_partition(
            ordered.lines.begin(), ordered.lines.end(),
            [&](const ParameterLine& line) { return line.reference == preferredReference; });
    }
    LandscapeFrame made;
    made.cell = structure.cell;
    made.ion = ion;
    for (const std::string& label : mobileLabels) {
        if (std::none_of(structure.sites.begin(), structure.sites.end(),
                         [&](const Site& site) { return site.name == label; })) {
            return Status::failed(MessageId::NoSiteLabelled, label);
        }
    }
    const Metric metric = metricOf(structure.cell);
    for (const Site& site : structure.sites) {
        const std::string& element = site.element;
        const bool mobile = mobileLabels.empty()
                                ? element == ion.element
                                : std::find(mobileLabels.begin(), mobileLabels.end(), site.name) !=
                                      mobileLabels.end();
        FrameIon base;
        base.label = site.name;
        base.element = element;
        base.occupancy = site.g;
        base.valence = formalValence(site);
        if (base.valence == 0.0 && !mobile) {
            const auto usual =
                std::find_if(std::begin(UsualAnions), std::end(UsualAnions),
                             [&](const UsualAnion& a) { return element == a.element; });
            if (usual != std::end(UsualAnions)) {
                base.valence = usual->valence;
            } else {
                // Any other element is a cation, which must block the test cation's way as
                // much as one with its valence given: its table's first valence will do.
                for (const ParameterLine& line : ordered.lines) {
                    const double v = line.cationValence;
                    if (line.cation == element && v > 0.0 && v != UnspecifiedValence) {
                        base.valence = v;
                        break;
                    }
                }
            }
            made.notes.push_back(
                base.valence == 0.0
                    ? formatText("  %s has no formal valence and the table none: left out.\n",
                                 site.name.c_str())
                    : formatText("  %s has no formal valence: taken as %s.\n", site.name.c_str(),
                                 ionName(element, base.valence).c_str()));
        }
        const bool counter = !mobile && base.valence * ion.valence < 0.0;
        if (counter) {
            const bool ionIsCation = ion.valence > 0;
            double cationValence = ionIsCation ? ion.valence : base.valence;
            const ParameterLine* line = nullptr;
            if (!ionIsCation && formalValence(site) == 0.0) {
                // A cation without oxidation number: its element's first line with this anion,
                // whatever its valence, is better than none; the JSON names the line.
                for (const ParameterLine& l : ordered.lines) {
                    if (l.cation == element && l.anion == ion.element &&
                        valenceIs(l.anionValence, -ion.valence)) {
                        line = &l;
                        break;
                    }
                }
                if (line != nullptr) cationValence = line->cationValence;
            } else {
                line = ionIsCation
                           ? lineFor(ordered, ion.element, ion.valence, element, base.valence)
                           : lineFor(ordered, element, base.valence, ion.element, ion.valence);
            }
            if (line == nullptr) {
                const std::string cation =
                    ionIsCation ? testIonName(ion) : ionName(element, base.valence);
                const std::string anion =
                    ionIsCation ? ionName(element, base.valence) : testIonName(ion);
                return Status::failed(MessageId::NoPairParameters, cation, anion);
            }
            base.counterIon = true;
            base.r0 = line->r0;
            base.b = line->b > 0.0 ? line->b : defaultB;
            const std::string counterName =
                ionIsCation ? ionName(element, base.valence) : ionName(element, cationValence);
            if (std::none_of(made.pairs.begin(), made.pairs.end(),
                             [&](const PairParameter& p) { return p.counterIon == counterName; }))
                made.pairs.push_back({counterName, base.r0, base.b, line->reference});
        }
        for (const auto& position : imagesInCell({site.x, site.y, site.z}, operators, metric)) {
            FrameIon placed = base;
            placed.position = position;
            (mobile ? made.removed : made.ions).push_back(placed);
        }
    }
    if (std::none_of(made.ions.begin(), made.ions.end(),
                     [](const FrameIon& i) { return i.counterIon; })) {
        return Status::failed(MessageId::NoCounterIon, testIonName(ion));
    }
    frame = std::move(made);
    return {};
}

}  // namespace tarnell
