#include "structure/site_values.h"

#include <cmath>

#include "settings/settings_file.h"

namespace tarnell {

Status checkSiteValues(const CrystalStructure& structure) {
    static constexpr const char* Axes[] = {"x", "y", "z"};
    for (const Site& site : structure.sites) {
        const double coordinates[] = {site.x, site.y, site.z};
        const double sigmas[] = {site.sx, site.sy, site.sz};
        for (int axis = 0; axis < 3; ++axis) {
            if (!(std::fabs(coordinates[axis]) <= MaxCoordinate)) {
                return Status::failed(MessageId::CoordinateTooFar, Axes[axis], coordinates[axis],
                                      site.name, MaxCoordinate);
            }
            if (!(sigmas[axis] >= 0.0 && sigmas[axis] <= MaxCoordinateSigma)) {
                return Status::failed(MessageId::CoordinateSigmaOutOfRange, sigmas[axis],
                                      Axes[axis], site.name, MaxCoordinateSigma);
            }
        }
        if (!(site.g >= 0.0 && site.g <= MaxOccupancy)) {
            return Status::failed(MessageId::OccupancyOutOfRange, site.g, site.name, MaxOccupancy);
        }
        const double valence = formalValence(site);
        if (!(std::fabs(valence) <= MaxValence) || !std::isfinite(site.charge)) {
            return Status::failed(MessageId::ValenceOutOfRange, valence, site.name, MaxValence,
                                  MaxValence);
        }
        if (!(site.dLimit >= 0.0 && site.dLimit <= MaxDMax)) {
            return Status::failed(MessageId::DistanceLimitOutOfRange, site.dLimit, site.name,
                                  MaxDMax);
        }
    }
    return {};
}

}  // namespace tarnell
