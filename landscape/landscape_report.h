// A landscape's result and how it is told: one console line, and the JSON object "landscape".
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "landscape/landscape_frame.h"
#include "landscape/landscape_grid.h"
#include "landscape/percolation.h"

namespace tarnell {

struct LandscapeResult {
    LandscapeFrame frame;
    LandscapeOptions options;
    Landscape landscape;
    Percolation percolation;
};

// "  Landscape of Li+ (|BVS - V|, v.u.) on 104 x 60 x 47 points: 1D 0.2150 along [0 1 0], 2D
// 0.6012 in [1 0 0] [0 1 0], 3D none below 0.9999\n", on one line.
std::string landscapeSummary(const LandscapeResult& result);

// ion, quantity, unit, grid, step, cutoff, thresholds {1d, 2d, 3d}, direction_1d, plane_2d,
// removed (the labels of the mobile ion's sites) and parameters (the table line of each pair).
nlohmann::ordered_json landscapeJson(const LandscapeResult& result);

}  // namespace tarnell
