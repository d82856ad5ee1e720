// The engine's run: one whole calculation from the command line to the report, phase after
// phase, the first failing phase's message ending up in the report file; or a batch of files.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/calculation.h"
#include "settings/status.h"
#include "valence/json_report.h"

namespace tarnell {

inline constexpr const char* UsageText =
    "Invalid usage !!!\n"
    " ex. <Tarnell -b inpfile outfile> for Tarnell file\n"
    "     <Tarnell -r inpfile outfile> for Morvek lst file\n"
    "     <Tarnell -i inpfile outfile> for ICSD file\n"
    "     <Tarnell -c inpfile outfile> for CIF file\n"
    "     <Tarnell -c inpfile outfile -j jsonfile> also writes the result as JSON\n"
    "     <Tarnell --batch outdir file|folder|@list ...> for many files, each by its extension\n"
    "     add --check-valences to compare stated valences with those bond valence assigns\n";

// Runs one calculation, or a batch. `args` is the whole command line, program name first;
// console lines go to `console`. Returns -1 after the usage text (also for an output path that
// is the input, the settings, the parameter table or a space-group file) or a settings failure,
// 1 when an output cannot be written, and 0 on every other path, also when a phase failed and its
// message stands in the report. Waiting for the user's key is left to the caller.
int runEngine(const std::vector<std::string>& args, const std::filesystem::path& workDir,
              std::ostream& console, bool onTerminal = false);

// The files a batch argument names: the file itself, every structure file (by its extension) in
// a folder and its subfolders, or with "@list" every line of the file `list`. Appended to
// `files`; fails with the message when a folder or a list cannot be read.
Status batchInputs(const std::string& argument, std::vector<std::filesystem::path>& files);

// Writes the report of `result` to `report` and, when `json` is not empty, its JSON; the
// reader's notes and a failure after the distance list go to `console` as well. 0, or 1 when an
// output could not be written (the old file then stands as it was).
int writeOutputs(const CalculationResult& result, const RunDescription& run,
                 const std::filesystem::path& report, const std::filesystem::path& json,
                 std::ostream& console);

// Whether `args` ask for a batch, which never waits for a key.
bool isBatch(const std::vector<std::string>& args);

}  // namespace tarnell
