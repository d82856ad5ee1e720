#include "geometry/neighbour_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

#include "geometry/distance.h"
#include "settings/text.h"
#include "settings/wording.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

using Position = std::array<double, 3>;

// A cheap squared distance through the metric, only to pass over the images that lie far
// outside the window; whatever it lets through is measured exactly by distanceIn.
struct Metric {
    double aa, bb, cc, bc2, ca2, ab2;

    explicit Metric(const CellGeometry& g)
        : aa(g.cell[0] * g.cell[0]),
          bb(g.cell[1] * g.cell[1]),
          cc(g.cell[2] * g.cell[2]),
          bc2(2.0 * g.cell[1] * g.cell[2] * g.cosines[0]),
          ca2(2.0 * g.cell[2] * g.cell[0] * g.cosines[1]),
          ab2(2.0 * g.cell[0] * g.cell[1] * g.cosines[2]) {}

    double squared(double u, double v, double w) const {
        return u * u * aa + v * v * bb + w * w * cc + v * w * bc2 + w * u * ca2 + u * v * ab2;
    }

    // The smallest eigenvalue of the metric tensor: no difference vector u is shorter than
    // sqrt(smallestEigenvalue()·|u|²) Å.
    double smallestEigenvalue() const {
        const double a11 = aa, a22 = bb, a33 = cc;
        const double a12 = ab2 / 2, a13 = ca2 / 2, a23 = bc2 / 2;
        const double offDiagonal = a12 * a12 + a13 * a13 + a23 * a23;
        const double q = (a11 + a22 + a33) / 3;
        const double p = std::sqrt(((a11 - q) * (a11 - q) + (a22 - q) * (a22 - q) +
                                    (a33 - q) * (a33 - q) + 2 * offDiagonal) / 6);
        if (p == 0.0) return q;
        const double b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
        const double b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
        const double half = (b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                             b13 * (b12 * b23 - b22 * b13)) / 2;
        const double phi = std::acos(std::clamp(half, -1.0, 1.0)) / 3;
        constexpr double TwoPiOverThree = 2.0943951023931957;
        return q + 2 * p * std::cos(phi + TwoPiOverThree);
    }
};

// The squared length of the shortest vector u + t that a translation t of the box can give, in
// fractions of the cell edges along each axis.
double nearestSquared(const Position& u, int hMin, int hMax) {
    double sum = 0;
    for (double component : u) {
        const double t = std::clamp(std::round(-component), static_cast<double>(hMin),
                                    static_cast<double>(hMax));
        sum += (component + t) * (component + t);
    }
    return sum;
}

// Far wider than any rounding difference between the two ways of computing a distance.
constexpr double PrefilterMargin = 1e-9;

// Two routes to one neighbour can differ in the last digits, notably through the six-digit
// rhombohedral centring translations; counted twice, such a neighbour would double its bond.
constexpr double DuplicateTolerance = 1e-5;

bool samePositions(const std::array<double, 6>& p, const std::array<double, 6>& q) {
    for (int i = 0; i < 6; ++i) {
        if (!(std::fabs(p[i] - q[i]) <= DuplicateTolerance)) return false;
    }
    return true;
}

Position image(const SymmetryOperator& op, const Site& site) {
    Position v{};
    for (int c = 0; c < 3; ++c) {
        v[c] = op.r[c][0] * site.x + op.r[c][1] * site.y + op.r[c][2] * site.z + op.t[c];
    }
    return v;
}

class EntryWriter {
public:
    EntryWriter(const DistanceListFiles& files, const ParameterTable& table)
        : distances_(files.distances, std::ios::binary | std::ios::trunc),
          parameters_(files.parameters, std::ios::binary | std::ios::trunc),
          table_(table) {}

    bool opened() const { return distances_.good() && parameters_.good(); }
    bool written() { return distances_.flush().good() && parameters_.flush().good(); }
    int count() const { return count_; }

    // Writes entry count+1 for the pair; -1 with a message when a capacity is exceeded.
    int write(const std::string& cation, const std::string& anion, const std::string& central,
              const Position& a, const std::string& neighbour, const std::string& code,
              const Position& b, double d, double sd, std::string& message) {
        if (++count_ > MaxDistanceEntries) {
            message = formatText("  Error !!!   Number of distance entry more than %d.\n",
                                 MaxDistanceEntries);
            return -1;
        }
        const std::vector<BondParameter> alternatives = lookupBondParameters(table_, cation, anion);
        if (static_cast<int>(alternatives.size()) > MaxParameterSets) {
            message = formatText("  Error !!!   More than %d parameter sets for %s - %s.\n",
                                 MaxParameterSets, cation.c_str(), anion.c_str());
            return -1;
        }
        distances_ << formatText(
            " %3d  %-4s % 8.5lf % 8.5lf % 8.5lf   %-4s %7s % 8.5lf % 8.5lf % 8.5lf % 8.5lf "
            "% 8.5lf\n",
            count_, central.c_str(), a[0], a[1], a[2], neighbour.c_str(), code.c_str(), b[0],
            b[1], b[2], d, sd);
        parameters_ << formatText("%d %s\n", static_cast<int>(alternatives.size()),
                                  bondParameterText(alternatives).c_str());
        return 0;
    }

private:
    std::ofstream distances_;
    std::ofstream parameters_;
    const ParameterTable& table_;
    int count_ = 0;
};

}  // namespace

std::string elementSymbol(const std::string& label) {
    if (label.size() > 1 && label[1] >= 'a' && label[1] <= 'z') return label.substr(0, 2);
    return label.substr(0, 1);
}

std::string symmetryCode(int operatorNumber, int t1, int t2, int t3) {
    return formatText("%2d_%d%d%d", operatorNumber, t1 + 5, t2 + 5, t3 + 5);
}

int searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                    const Settings& settings, const std::filesystem::path& bvTable,
                    const DistanceListFiles& files, int& entryCount, std::string& message) {
    entryCount = 0;
    ParameterTable table;
    if (loadParameterTable(bvTable, table, message) != 0) return -1;

    // The sums give each site the entries that carry its label: two sites with one label would
    // take each other's bonds.
    const std::vector<Site>& sites = structure.sites;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        for (std::size_t j = i + 1; j < sites.size(); ++j) {
            if (sites[i].name == sites[j].name) {
                message = formatText("  Error !!!   Species name %s is used by two sites.\n",
                                     sites[i].name.c_str());
                return -1;
            }
        }
    }

    EntryWriter writer(files, table);
    if (!writer.opened()) {
        message = "  Error !!!   The distance list files cannot be created.\n";
        return -1;
    }

    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    const Metric metric(geometry);
    const double smallestEigenvalue = metric.smallestEigenvalue() * (1.0 - 1e-6);

    // Every image of every site under every operator, before any cell translation.
    std::vector<std::vector<Position>> images(sites.size());
    for (std::size_t j = 0; j < sites.size(); ++j) {
        for (const SymmetryOperator& op : operators) images[j].push_back(image(op, sites[j]));
    }
    std::vector<std::string> elements;
    for (const Site& site : sites) elements.push_back(elementSymbol(site.name));

    std::vector<std::array<double, 6>> candidates;
    candidates.reserve(MaxDistanceEntries);
    const double dMin = settings.dMin;
    const double lowest = dMin > 0.0 ? dMin * dMin * (1.0 - PrefilterMargin)
                                      : -std::numeric_limits<double>::infinity();

    for (std::size_t i = 0; i < sites.size(); ++i) {
        const Site& central = sites[i];
        const Position a{central.x, central.y, central.z};
        const Position sa{central.sx, central.sy, central.sz};
        const double dLimit = central.dLimit;
        const double highest = dLimit * dLimit * (1.0 + PrefilterMargin);
        for (std::size_t j = 0; j < sites.size(); ++j) {
            const Site& neighbour = sites[j];
            const Position sb{neighbour.sx, neighbour.sy, neighbour.sz};
            for (std::size_t k = 0; k < operators.size(); ++k) {
                const Position& v = images[j][k];
                // Most images lie far outside the window whatever the translation.
                const Position u{v[0] - a[0], v[1] - a[1], v[2] - a[2]};
                if (settings.hMin <= settings.hMax &&
                    smallestEigenvalue * nearestSquared(u, settings.hMin, settings.hMax) >
                        highest) {
                    continue;
                }
                for (int t1 = settings.hMin; t1 <= settings.hMax; ++t1) {
                    for (int t2 = settings.hMin; t2 <= settings.hMax; ++t2) {
                        for (int t3 = settings.hMin; t3 <= settings.hMax; ++t3) {
                            const Position b{v[0] + t1, v[1] + t2, v[2] + t3};
                            const double approx = metric.squared(b[0] - a[0], b[1] - a[1], b[2] - a[2]);
                            if (approx > highest || approx < lowest) continue;
                            const double d = distanceIn(geometry, a, b);
                            if (!(dMin <= d && d <= dLimit)) continue;

                            if (static_cast<int>(candidates.size()) >= MaxDistanceEntries) {
                                message = formatText(
                                    "  Error !!!   Number of distance entry more than %d.\n",
                                    MaxDistanceEntries);
                                return -1;
                            }
                            const std::array<double, 6> candidate{a[0], a[1], a[2],
                                                                  b[0], b[1], b[2]};
                            bool duplicate = false;
                            for (const auto& earlier : candidates) {
                                if (samePositions(earlier, candidate)) {
                                    duplicate = true;
                                    break;
                                }
                            }
                            candidates.push_back(candidate);
                            if (duplicate) continue;

                            // Both orders of the pair are tried: the cation's entry is found
                            // with it as the first element, the anion's with it as the second.
                            const std::string& el1 = elements[i];
                            const std::string& el2 = elements[j];
                            const bool forward = hasBondParameters(table, el1, el2);
                            const bool backward = hasBondParameters(table, el2, el1);
                            if (!forward && !backward) continue;
                            const double sd =
                                distanceSigma(geometry, a, b, sa, sb, d, &operators[k].r);
                            const std::string code = symmetryCode(static_cast<int>(k + 1), t1, t2, t3);
                            if (forward && writer.write(el1, el2, central.name, a, neighbour.name,
                                                        code, b, d, sd, message) != 0) {
                                return -1;
                            }
                            if (backward && writer.write(el2, el1, central.name, a,
                                                         neighbour.name, code, b, d, sd,
                                                         message) != 0) {
                                return -1;
                            }
                        }
                    }
                }
            }
        }
    }
    if (!writer.written()) {
        message = "  Error !!!   The distance list files cannot be written.\n";
        return -1;
    }
    entryCount = writer.count();
    return 0;
}

}  // namespace tarnell
