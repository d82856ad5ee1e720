#include "valence/conditions.h"

#include <filesystem>

#include "settings/text.h"

namespace tarnell {

std::string conditionsText(const CalculationResult& result, const RunDescription& run) {
    const Settings& settings = result.settings;
    // The file name only: the folder differs from machine to machine, the JSON keeps the path.
    const std::string input = std::filesystem::path(run.inputPath).filename().string();
    std::string text = formatText("  Tarnell %s\n", run.programVersion.c_str());
    text += formatText("  Input      : %s (%s)\n", input.c_str(), run.inputFormat.c_str());
    text += formatText("  Table      : %s\n", result.table.empty() ? "-" : result.table.c_str());
    text += formatText("  BV-B %.3lf  D-min %.3lf  D-max %.3lf  H-min %d  H-max %d\n", settings.bvB,
                       settings.dMin, settings.dMax, settings.hMin, settings.hMax);
    // A file may set its own limit per site; only those that differ are worth a line.
    std::string limits;
    for (const Site& site : result.structure.sites) {
        if (site.dLimit > 0.0 && site.dLimit != settings.dMax)
            limits += formatText(" %s %.3lf", site.name.c_str(), site.dLimit);
    }
    if (!limits.empty()) text += "  D-max of sites:" + limits + "\n";
    return text + "\n";
}

}  // namespace tarnell
