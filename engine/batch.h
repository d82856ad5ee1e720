// Many structure files in one engine: each calculated as a single run would be, on every core,
// with a report and a JSON file for each and one summary table for all.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace tarnell {

// Calculates every file of `files` (the reader chosen by its extension) with `settings` in
// `workDir`, writing `outDir`/<name>.out, `outDir`/<name>.json and `outDir`/summary.csv. A file
// that fails is recorded and the others go on. With `progress`, a bar on `console` shows how far
// the batch is. 0 when every output was written, 1 otherwise.
int runBatch(const std::filesystem::path& outDir, const std::vector<std::filesystem::path>& files,
             const Settings& settings, const std::filesystem::path& workDir,
             const std::string& programVersion, std::ostream& console, bool progress);

}  // namespace tarnell
