#include "crystal/setting_transformation.h"

#include <array>
#include <cmath>

#include "crystal/cell_metric.h"

namespace tarnell {
namespace {

// Rows a', b', c' of settings 1 to 6 in the standard basis.
constexpr std::array<Matrix3, 6> SettingMatrices{{
    {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},   // abc
    {{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}},  // ba-c
    {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}},   // cab
    {{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}},  // -cba
    {{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}},   // bca
    {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},  // a-cb
}};

}  // namespace

Matrix3 orthorhombicSettingMatrix(int k) {
    if (k < 1 || k > 6) return {};
    return SettingMatrices[k - 1];
}

Status transformToStandardSetting(int setting, CrystalStructure& structure) {
    // An edge of 0 divides the angle formulas by zero and writes NaN angles; a negative edge
    // would come back positive without a word. A NaN edge fails this test too.
    for (int i = 0; i < 3; ++i) {
        if (!(structure.cell[i] > 0.0)) {
            return Status::failed(MessageId::CellNotPositive);
        }
    }

    const Matrix3 g = metricTensor(structure.cell);
    const Matrix3 gs = metricTensor(structure.cellSigma);

    double determinant = 0.0;
    Matrix3 p = orthorhombicSettingMatrix(setting);
    if (invertMatrix(p, determinant, PivotTolerance) != 0) {
        return Status::failed(MessageId::MatrixNotPositive);
    }
    const Matrix3 m = multiply(orthorhombicSettingMatrix(1), p);

    // Coordinates transform with the inverse transpose of the basis change. Its inversion is
    // checked too: a failure here must not write half-transformed coordinates.
    Matrix3 coordinateMatrix = transpose(m);
    if (invertMatrix(coordinateMatrix, determinant, PivotTolerance) != 0) {
        return Status::failed(MessageId::MatrixNotPositive);
    }

    std::array<double, 3> length{};
    std::array<double, 3> lengthSigma{};
    for (int i = 0; i < 3; ++i) {
        length[i] = std::sqrt(quadraticForm(m[i], g, m[i]));
        lengthSigma[i] = std::sqrt(quadraticForm(m[i], gs, m[i]));
    }
    const double alpha =
        std::acos(quadraticForm(m[1], g, m[2]) / (length[1] * length[2])) * RadToDeg;
    const double beta =
        std::acos(quadraticForm(m[2], g, m[0]) / (length[2] * length[0])) * RadToDeg;
    const double gamma =
        std::acos(quadraticForm(m[0], g, m[1]) / (length[0] * length[1])) * RadToDeg;

    structure.cell = {length[0], length[1], length[2], alpha, beta, gamma};
    // The angle uncertainties keep their places: only the edges are carried through the metric.
    structure.cellSigma[0] = lengthSigma[0];
    structure.cellSigma[1] = lengthSigma[1];
    structure.cellSigma[2] = lengthSigma[2];

    for (Site& site : structure.sites) {
        Vector3 position = multiply(coordinateMatrix, Vector3{site.x, site.y, site.z});
        const Vector3 sigma = multiply(coordinateMatrix, Vector3{site.sx, site.sy, site.sz});
        // A minus sign in the matrix turns a coordinate t into -t; adding 1 once brings it back
        // into the cell as 1 - t, while 0 stays 0.
        for (double& value : position) {
            if (value < 0.0) value += 1.0;
        }
        site.x = position[0];
        site.y = position[1];
        site.z = position[2];
        site.sx = std::fabs(sigma[0]);
        site.sy = std::fabs(sigma[1]);
        site.sz = std::fabs(sigma[2]);
    }
    structure.convertedFrom = structure.sgName;
    return {};
}

}  // namespace tarnell
