#include "geometry/cell_metric.h"

#include <cmath>

namespace tarnell {

Matrix metricTensor(const std::array<double, 6>& p) {
    const double ab = p[0] * p[1] * std::cos(p[5] * DegToRad);
    const double ac = p[0] * p[2] * std::cos(p[4] * DegToRad);
    const double bc = p[1] * p[2] * std::cos(p[3] * DegToRad);
    return {
        {p[0] * p[0], ab, ac},
        {ab, p[1] * p[1], bc},
        {ac, bc, p[2] * p[2]},
    };
}

}  // namespace tarnell
