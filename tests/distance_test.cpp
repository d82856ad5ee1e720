#include "crystal/distance.h"

#include <gtest/gtest.h>

#include <cmath>

#include "crystal/cell_metric.h"

namespace tarnell {
namespace {

using Vec3 = std::array<double, 3>;
using Cell = std::array<double, 6>;

const Cell Cubic = {5, 5, 5, 90, 90, 90};
const Cell Triclinic = {5.1, 6.3, 7.2, 81.5, 97.0, 112.25};
const Cell Sigma = {0.002, 0.003, 0.004, 0.05, 0.07, 0.09};
const Vec3 S1 = {0.001, 0.002, 0.003}, S2 = {0.004, 0.0005, 0.002};

void distanceWithSigma(const Vec3& p1, const Vec3& p2, const Vec3& s1, const Vec3& s2,
                       const Cell& cell, const Cell& cellSigma, double& d, double& sd) {
    const CellGeometry geometry = makeCellGeometry(cell, cellSigma);
    d = distanceIn(geometry, p1, p2);
    sd = distanceSigma(geometry, p1, p2, s1, s2, d);
}

TEST(Distance, CubicHalfEdgeOneAxisAndCoincidingPositions) {
    const auto distance = [](const Cell& cell, Vec3 p2, Vec3 s, const Cell& cellSigma) {
        std::pair<double, double> result;
        distanceWithSigma({0, 0, 0}, p2, s, s, cell, cellSigma, result.first, result.second);
        return result;
    };
    EXPECT_EQ(distance(Cubic, {.5, 0, 0}, {}, {}), std::make_pair(2.5, 0.0));
    EXPECT_DOUBLE_EQ(distance(Cubic, {.5, 0, 0}, {}, {.001, 0, 0, 0, 0, 0}).second, 0.0005);
    EXPECT_DOUBLE_EQ(distance(Cubic, {.5, 0, 0}, {.001, 0, 0}, {}).second, std::sqrt(2) * 0.005);
    // Angle uncertainties need two axes; the triclinic angles themselves do not matter here.
    EXPECT_EQ(distance(Triclinic, {0, .5, 0}, {}, {0, 0, 0, 1, 1, 1}).second, 0.0);
    EXPECT_GT(distance(Triclinic, {0, .5, .5}, {}, {0, 0, 0, 1, 0, 0}).second, 0.0);
    EXPECT_EQ(distance(Triclinic, {0, 0, 0}, S1, Sigma), std::make_pair(0.0, 0.0));
}

// An independent route: Cartesian coordinates for d, numerical derivatives for sigma(d). It
// checks every one of the twelve terms, the angle ones included.
double cartesianDistance(const Cell& c, const Vec3& p1, const Vec3& p2) {
    const double ca = std::cos(c[3] * DegToRad), cb = std::cos(c[4] * DegToRad);
    const double cg = std::cos(c[5] * DegToRad), sg = std::sin(c[5] * DegToRad);
    const double cy = (ca - cb * cg) / sg, cz = std::sqrt(1 - cb * cb - cy * cy);
    const double u = p2[0] - p1[0], v = p2[1] - p1[1], w = p2[2] - p1[2];
    const Vec3 r = {u * c[0] + v * c[1] * cg + w * c[2] * cb, v * c[1] * sg + w * c[2] * cy,
                    w * c[2] * cz};
    return std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
}

TEST(Distance, TriclinicValuesAgreeWithCartesianGeometryAndSwapSymmetry) {
    const Vec3 p1 = {0.11, 0.23, 0.37}, p2 = {0.52, -0.18, 0.61};
    double d = 0, sd = 0;
    distanceWithSigma(p1, p2, S1, S2, Triclinic, Sigma, d, sd);
    EXPECT_NEAR(d, cartesianDistance(Triclinic, p1, p2), 1e-12);

    double variance = 0;
    for (int i = 0; i < 12; ++i) {
        Cell c = Triclinic;
        Vec3 a = p1, b = p2;
        double& parameter = i < 6 ? c[i] : i < 9 ? a[i - 6] : b[i - 9];
        const double sigma = i < 6 ? Sigma[i] : i < 9 ? S1[i - 6] : S2[i - 9];
        parameter += 1e-6;
        const double up = cartesianDistance(c, a, b);
        parameter -= 2e-6;
        const double derivative = (up - cartesianDistance(c, a, b)) / 2e-6;
        variance += derivative * derivative * sigma * sigma;
    }
    EXPECT_NEAR(sd, std::sqrt(variance), 1e-9);

    double dSwapped = 0, sdSwapped = 0;
    distanceWithSigma(p2, p1, S2, S1, Triclinic, Sigma, dSwapped, sdSwapped);
    EXPECT_EQ(dSwapped, d);
    EXPECT_DOUBLE_EQ(sdSwapped, sd);
}

}  // namespace
}  // namespace tarnell
