#include "search/neighbour_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "settings/text.h"

namespace tarnell {
namespace {

using Position = std::array<double, 3>;

// A cheap squared distance through the metric, to pass over the images that lie far outside
// the window and to compare images with each other; whatever lies near the window's edges is
// measured exactly by distanceIn.
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
                                    (a33 - q) * (a33 - q) + 2 * offDiagonal) /
                                   6);
        if (p == 0.0) return q;
        const double b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
        const double b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
        const double half = (b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                             b13 * (b12 * b23 - b22 * b13)) /
                            2;
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

}  // namespace

std::string symmetryCode(const NeighbourImage& image) {
    const auto& t = image.translation;
    const bool oneDigit = std::all_of(t.begin(), t.end(), [](int v) { return v >= -4 && v <= 4; });
    if (oneDigit) {
        return formatText("%2d_%d%d%d", image.operatorIndex + 1, t[0] + 5, t[1] + 5, t[2] + 5);
    }
    return formatText("%d_%d_%d_%d", image.operatorIndex + 1, t[0] + 5, t[1] + 5, t[2] + 5);
}

bool samePosition(const CellGeometry& geometry, const Position& p, const Position& q) {
    const Metric metric(geometry);
    return metric.squared(p[0] - q[0], p[1] - q[1], p[2] - q[2]) <
           SamePositionTolerance * SamePositionTolerance;
}

void forEachNeighbour(const CrystalStructure& structure, const OperatorTable& operators,
                      const Settings& settings,
                      const std::function<bool(const Neighbour&)>& visit) {
    const std::vector<Site>& sites = structure.sites;
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    const Metric metric(geometry);
    const double smallestEigenvalue = metric.smallestEigenvalue() * (1.0 - 1e-6);
    constexpr double Tolerance2 = SamePositionTolerance * SamePositionTolerance;

    // Every image of every site under every operator, before any cell translation.
    std::vector<std::vector<Position>> images(sites.size());
    for (std::size_t j = 0; j < sites.size(); ++j) {
        for (const SymmetryOperator& op : operators)
            images[j].push_back(applyOperator(op, {sites[j].x, sites[j].y, sites[j].z}));
    }

    const double dMin = settings.dMin;
    const double lowest = dMin > 0.0 ? dMin * dMin * (1.0 - PrefilterMargin)
                                     : -std::numeric_limits<double>::infinity();
    // An image next to its centre is nearest to it without translation.
    const bool zeroInRange = settings.hMin <= 0 && settings.hMax >= 0;
    std::vector<Position> kept;  // the images of one neighbour site found so far for one centre

    for (std::size_t i = 0; i < sites.size(); ++i) {
        const Site& central = sites[i];
        const Position a{central.x, central.y, central.z};
        const Position sa{central.sx, central.sy, central.sz};
        const double dLimit = central.dLimit;
        const double highest = dLimit * dLimit * (1.0 + PrefilterMargin);
        for (std::size_t j = 0; j < sites.size(); ++j) {
            const Site& other = sites[j];
            const Position sb{other.sx, other.sy, other.sz};
            kept.clear();
            for (std::size_t k = 0; k < operators.size(); ++k) {
                // The image brought next to its centre, whatever cell the operator left it in.
                const Position& raw = images[j][k];
                std::array<int, 3> shift{};
                Position u{};
                bool reachable = true;
                for (int c = 0; c < 3; ++c) {
                    const double difference = raw[c] + 0.5 - a[c];
                    // Coordinates beyond any real cell: nothing of the image is within reach.
                    if (!(std::fabs(difference) < 1e6)) {
                        reachable = false;
                        break;
                    }
                    // floor(), without the library call that dominates this loop.
                    int whole = static_cast<int>(difference);
                    if (whole > difference) --whole;
                    shift[c] = -whole;
                    u[c] = raw[c] - a[c] - whole;
                }
                // Most images lie far outside the window whatever the translation.
                if (!reachable || settings.hMin > settings.hMax ||
                    !(smallestEigenvalue *
                          (zeroInRange ? u[0] * u[0] + u[1] * u[1] + u[2] * u[2]
                                       : nearestSquared(u, settings.hMin, settings.hMax)) <=
                      highest)) {
                    continue;
                }
                for (int t1 = settings.hMin; t1 <= settings.hMax; ++t1) {
                    for (int t2 = settings.hMin; t2 <= settings.hMax; ++t2) {
                        for (int t3 = settings.hMin; t3 <= settings.hMax; ++t3) {
                            const double approx = metric.squared(u[0] + t1, u[1] + t2, u[2] + t3);
                            if (approx > highest || approx < lowest) continue;
                            const std::array<int, 3> whole{shift[0] + t1, shift[1] + t2,
                                                           shift[2] + t3};
                            const Position b{raw[0] + whole[0], raw[1] + whole[1],
                                             raw[2] + whole[2]};
                            const double d = distanceIn(geometry, a, b);
                            if (!(dMin <= d && d <= dLimit)) continue;

                            const bool seen =
                                std::any_of(kept.begin(), kept.end(), [&](const Position& q) {
                                    return metric.squared(b[0] - q[0], b[1] - q[1], b[2] - q[2]) <
                                           Tolerance2;
                                });
                            if (seen) continue;
                            kept.push_back(b);

                            Neighbour found;
                            found.centre = static_cast<int>(i);
                            found.neighbour = static_cast<int>(j);
                            found.image = {static_cast<int>(k), whole};
                            found.position = b;
                            found.d = d;
                            found.sigma = distanceSigma(geometry, a, b, sa, sb, d, &operators[k].r);
                            if (!visit(found)) return;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace tarnell
