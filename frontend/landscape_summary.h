// What a landscape run found, read from the engine's JSON (`landscape`): the ion, the grid, the
// percolation thresholds with the direction of the 1D path and the plane of the 2D region.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnell {

using LatticeDirection = std::array<int, 3>;

struct LandscapeSummary {
    std::string ion;            // "Li+"
    std::string unit = "v.u.";  // of the values and the thresholds
    std::array<int, 3> grid{};
    // 1D, 2D, 3D; none where nothing percolates below the grid's largest value.
    std::array<std::optional<double>, 3> thresholds;
    std::optional<LatticeDirection> direction1d;
    std::optional<std::array<LatticeDirection, 2>> plane2d;
    std::vector<std::string> removed;  // labels of the mobile ion's sites taken out

    // The lowest threshold at which the region percolates at all, in any dimension.
    std::optional<double> lowestThreshold() const;
};

// Reads the `landscape` object of the JSON at `path`; the failure's text, or an empty text.
std::string readLandscapeSummary(const std::filesystem::path& path, LandscapeSummary& summary);
std::string readLandscapeSummaryText(const std::string& text, LandscapeSummary& summary);

// "[0 1 0]"
std::string directionText(const LatticeDirection& direction);

}  // namespace tarnell
