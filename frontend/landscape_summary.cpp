#include "frontend/landscape_summary.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "settings/text.h"

namespace tarnell {
namespace {

using nlohmann::json;

std::optional<LatticeDirection> directionOf(const json& value) {
    if (!value.is_array() || value.size() != 3) return std::nullopt;
    LatticeDirection direction{};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!value[i].is_number_integer()) return std::nullopt;
        direction[i] = value[i].get<int>();
    }
    return direction;
}

}  // namespace

std::optional<double> LandscapeSummary::lowestThreshold() const {
    std::optional<double> lowest;
    for (const std::optional<double>& t : thresholds) {
        if (t && (!lowest || *t < *lowest)) lowest = t;
    }
    return lowest;
}

std::string readLandscapeSummaryText(const std::string& text, LandscapeSummary& summary) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded()) return "the landscape's JSON cannot be parsed";
    if (!document.is_object() || !document.contains("landscape") ||
        !document["landscape"].is_object()) {
        return "the JSON holds no landscape";
    }
    const json& landscape = document["landscape"];
    LandscapeSummary read;
    if (landscape.contains("ion") && landscape["ion"].is_string())
        read.ion = landscape["ion"].get<std::string>();
    if (landscape.contains("unit") && landscape["unit"].is_string())
        read.unit = landscape["unit"].get<std::string>();
    if (const auto grid = landscape.find("grid"); grid != landscape.end()) {
        const std::optional<LatticeDirection> points = directionOf(*grid);
        if (points) read.grid = *points;
    }
    const json thresholds = landscape.value("thresholds", json::object());
    const char* keys[] = {"1d", "2d", "3d"};
    for (int d = 0; d < 3; ++d) {
        if (thresholds.is_object() && thresholds.contains(keys[d]) &&
            thresholds[keys[d]].is_number()) {
            read.thresholds[d] = thresholds[keys[d]].get<double>();
        }
    }
    if (landscape.contains("direction_1d"))
        read.direction1d = directionOf(landscape["direction_1d"]);
    if (landscape.contains("plane_2d") && landscape["plane_2d"].is_array() &&
        landscape["plane_2d"].size() == 2) {
        const auto first = directionOf(landscape["plane_2d"][0]);
        const auto second = directionOf(landscape["plane_2d"][1]);
        if (first && second) read.plane2d = std::array<LatticeDirection, 2>{*first, *second};
    }
    if (landscape.contains("removed") && landscape["removed"].is_array()) {
        for (const json& label : landscape["removed"])
            if (label.is_string()) read.removed.push_back(label.get<std::string>());
    }
    summary = std::move(read);
    return {};
}

std::string readLandscapeSummary(const std::filesystem::path& path, LandscapeSummary& summary) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path.string() + " cannot be opened";
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return readLandscapeSummaryText(text, summary);
}

std::string directionText(const LatticeDirection& direction) {
    return formatText("[%d %d %d]", direction[0], direction[1], direction[2]);
}

}  // namespace tarnell
