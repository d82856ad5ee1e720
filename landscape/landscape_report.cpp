#include "landscape/landscape_report.h"

#include <algorithm>
#include <cmath>

#include "settings/text.h"

namespace tarnell {

namespace {

// Thresholds to four decimals of a valence unit: the grid's own resolution is coarser.
double rounded(double value) {
    return std::round(value * 1e4) / 1e4;
}

std::string vectorText(const LatticeVector& v) {
    return formatText("[%d %d %d]", v[0], v[1], v[2]);
}

}  // namespace

std::string landscapeSummary(const LandscapeResult& result) {
    const auto& p = result.landscape.points;
    const auto& t = result.percolation.thresholds;
    std::string line = formatText("  Landscape of %s (|BVS - V|, v.u.) on %d x %d x %d points:",
                                  testIonName(result.frame.ion).c_str(), p[0], p[1], p[2]);
    const char* names[] = {"1D", "2D", "3D"};
    for (int d = 0; d < 3; ++d) {
        line += formatText(" %s ", names[d]);
        line += t[d] ? formatText("%.4f", *t[d]) : std::string("none");
        if (d == 0 && t[0]) line += " along " + vectorText(result.percolation.direction1d);
        if (d == 1 && t[1])
            line += " in " + vectorText(result.percolation.plane2d[0]) + " " +
                    vectorText(result.percolation.plane2d[1]);
        line += d < 2 ? "," : ".";
    }
    return line + "\n";
}

nlohmann::ordered_json landscapeJson(const LandscapeResult& result) {
    using nlohmann::ordered_json;
    const Percolation& perc = result.percolation;
    ordered_json out;
    out["ion"] = testIonName(result.frame.ion);
    out["quantity"] = "mismatch";
    out["unit"] = "v.u.";
    out["grid"] = result.landscape.points;
    out["step"] = result.options.step;
    out["cutoff"] = result.options.cutoff;
    ordered_json thresholds;
    const char* keys[] = {"1d", "2d", "3d"};
    for (int d = 0; d < 3; ++d) {
        thresholds[keys[d]] =
            perc.thresholds[d] ? ordered_json(rounded(*perc.thresholds[d])) : ordered_json(nullptr);
    }
    out["thresholds"] = thresholds;
    out["direction_1d"] =
        perc.thresholds[0] ? ordered_json(perc.direction1d) : ordered_json(nullptr);
    out["plane_2d"] = perc.thresholds[1] ? ordered_json(perc.plane2d) : ordered_json(nullptr);
    std::vector<std::string> removed;
    for (const FrameIon& ion : result.frame.removed) {
        if (std::find(removed.begin(), removed.end(), ion.label) == removed.end())
            removed.push_back(ion.label);
    }
    out["removed"] = removed;
    ordered_json pairs = ordered_json::array();
    for (const PairParameter& pair : result.frame.pairs) {
        pairs.push_back({{"counter_ion", pair.counterIon},
                         {"r0", pair.r0},
                         {"b", pair.b},
                         {"reference", pair.reference}});
    }
    out["parameters"] = pairs;
    out["like_ion_exclusion"] = LikeIonExclusion;
    return out;
}

}  // namespace tarnell
