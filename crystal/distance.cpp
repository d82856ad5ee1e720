#include "crystal/distance.h"

#include <cmath>

#include "crystal/cell_metric.h"

namespace tarnell {

CellGeometry makeCellGeometry(const std::array<double, 6>& cell,
                              const std::array<double, 6>& cellSigma) {
    CellGeometry geometry{cell, cellSigma, {}, {}};
    for (int i = 0; i < 3; ++i) {
        geometry.cosines[i] = std::cos(cell[3 + i] * DegToRad);
        geometry.sines[i] = std::sin(cell[3 + i] * DegToRad);
    }
    return geometry;
}

// The expressions below are the only ones that compute a distance or its uncertainty, so every
// caller gets the same digits whichever route it takes.

namespace {

// The coordinate differences of the pair and the cell terms that every formula below uses.
struct PairTerms {
    double u, v, w;
    double a, b, c;
    double cosAlpha, cosBeta, cosGamma;

    PairTerms(const CellGeometry& geometry, const std::array<double, 3>& p1,
              const std::array<double, 3>& p2)
        : u(p2[0] - p1[0]),
          v(p2[1] - p1[1]),
          w(p2[2] - p1[2]),
          a(geometry.cell[0]),
          b(geometry.cell[1]),
          c(geometry.cell[2]),
          cosAlpha(geometry.cosines[0]),
          cosBeta(geometry.cosines[1]),
          cosGamma(geometry.cosines[2]) {}
};

}  // namespace

double distanceIn(const CellGeometry& geometry, const std::array<double, 3>& p1,
                  const std::array<double, 3>& p2) {
    const auto [u, v, w, a, b, c, cosAlpha, cosBeta, cosGamma] = PairTerms(geometry, p1, p2);
    const double d2 = u * u * a * a + v * v * b * b + w * w * c * c + 2 * v * w * b * c * cosAlpha +
                      2 * w * u * c * a * cosBeta + 2 * u * v * a * b * cosGamma;
    return std::sqrt(d2);
}

double distanceSigma(const CellGeometry& geometry, const std::array<double, 3>& p1,
                     const std::array<double, 3>& p2, const std::array<double, 3>& s1,
                     const std::array<double, 3>& s2, double d, const Matrix3* imageRotation) {
    if (d == 0.0) return 0.0;
    const auto [u, v, w, a, b, c, cosAlpha, cosBeta, cosGamma] = PairTerms(geometry, p1, p2);
    const double sinAlpha = geometry.sines[0];
    const double sinBeta = geometry.sines[1];
    const double sinGamma = geometry.sines[2];
    const std::array<double, 6>& sc = geometry.cellSigma;

    // d times the derivative of d by each parameter; the angle ones per radian.
    const double dA = u * u * a + u * w * c * cosBeta + u * v * b * cosGamma;
    const double dB = v * v * b + v * w * c * cosAlpha + u * v * a * cosGamma;
    const double dC = w * w * c + v * w * b * cosAlpha + u * w * a * cosBeta;
    const double dAlpha = -v * w * b * c * sinAlpha;
    const double dBeta = -w * u * c * a * sinBeta;
    const double dGamma = -u * v * a * b * sinGamma;
    // The derivatives by the second position's coordinates are these with the sign changed.
    const double dX1 = -(u * a * a + w * c * a * cosBeta + v * a * b * cosGamma);
    const double dY1 = -(v * b * b + w * b * c * cosAlpha + u * a * b * cosGamma);
    const double dZ1 = -(w * c * c + v * b * c * cosAlpha + u * c * a * cosBeta);
    double dX2 = -dX1;
    double dY2 = -dY1;
    double dZ2 = -dZ1;
    if (imageRotation != nullptr) {
        const Matrix3& r = *imageRotation;
        const double byImage[3] = {dX2, dY2, dZ2};
        double bySite[3];
        for (int j = 0; j < 3; ++j) {
            bySite[j] = byImage[0] * r[0][j] + byImage[1] * r[1][j] + byImage[2] * r[2][j];
        }
        dX2 = bySite[0];
        dY2 = bySite[1];
        dZ2 = bySite[2];
    }

    const double s = dA * dA * sc[0] * sc[0] + dB * dB * sc[1] * sc[1] + dC * dC * sc[2] * sc[2] +
                     (dAlpha * dAlpha * sc[3] * sc[3] + dBeta * dBeta * sc[4] * sc[4] +
                      dGamma * dGamma * sc[5] * sc[5]) *
                         DegToRad * DegToRad +
                     dX1 * dX1 * s1[0] * s1[0] + dY1 * dY1 * s1[1] * s1[1] +
                     dZ1 * dZ1 * s1[2] * s1[2] + dX2 * dX2 * s2[0] * s2[0] +
                     dY2 * dY2 * s2[1] * s2[1] + dZ2 * dZ2 * s2[2] * s2[2];
    return std::sqrt(s) / d;
}

}  // namespace tarnell
