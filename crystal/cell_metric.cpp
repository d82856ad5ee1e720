#include "crystal/cell_metric.h"

#include <cmath>

#include "settings/text.h"

namespace tarnell {

Matrix3 metricTensor(const std::array<double, 6>& p) {
    const double ab = p[0] * p[1] * std::cos(p[5] * DegToRad);
    const double ac = p[0] * p[2] * std::cos(p[4] * DegToRad);
    const double bc = p[1] * p[2] * std::cos(p[3] * DegToRad);
    return {{
        {p[0] * p[0], ab, ac},
        {ab, p[1] * p[1], bc},
        {ac, bc, p[2] * p[2]},
    }};
}

Status checkCell(const std::array<double, 6>& cell, const std::array<double, 6>& sigma) {
    static constexpr std::array<const char*, 6> Names = {"a", "b", "c", "alpha", "beta", "gamma"};
    for (int i = 0; i < 3; ++i) {
        if (!(std::isfinite(cell[i]) && cell[i] > 0.0)) {
            return Status::failed(message(MessageId::CellEdgeNotPositive, Names[i], cell[i]));
        }
    }
    for (int i = 3; i < 6; ++i) {
        if (!(cell[i] > 0.0 && cell[i] < 180.0)) {
            return Status::failed(message(MessageId::CellAngleOutOfRange, Names[i], cell[i]));
        }
    }
    // The metric divided by a²b²c²: positive exactly when the three edges span a volume. The
    // margin keeps a cell flat within rounding (three angles of 120 degrees) out.
    const double ca = std::cos(cell[3] * DegToRad);
    const double cb = std::cos(cell[4] * DegToRad);
    const double cg = std::cos(cell[5] * DegToRad);
    const double volumeSquared = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    if (!(volumeSquared > 1e-8)) {
        return Status::failed(message(MessageId::CellAnglesMakeNoCell, cell[3], cell[4], cell[5]));
    }
    for (int i = 0; i < 6; ++i) {
        if (!(std::isfinite(sigma[i]) && sigma[i] >= 0.0)) {
            return Status::failed(message(MessageId::CellSigmaInvalid, sigma[i], Names[i]));
        }
    }
    return {};
}

}  // namespace tarnell
