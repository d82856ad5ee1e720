// One calculation: a structure file through every phase to its report, the results kept as
// values for the other outputs (JSON, the batch summary).
#pragma once

#include <filesystem>
#include <ostream>

#include "crystal/crystal_structure.h"
#include "settings/settings_file.h"
#include "valence/json_report.h"
#include "valence/parameter_table.h"

namespace tarnell {

// The files of the working directory that a run reads besides its arguments.
struct EnginePaths {
    std::filesystem::path settings;  // Tarnell.ini
    std::filesystem::path bvTable;   // BVTable
};

EnginePaths enginePaths(const std::filesystem::path& workDir);

// Files of higher symmetry often give an uncertainty only for the independent cell parameter;
// this copies it onto the parameters that the crystal system makes equal to it. The values
// themselves are left alone.
void copyCellUncertainties(CrystalStructure& structure);

// The parameter table as a run uses it. A batch reads it once for all its runs; without it the
// run reads BVTable itself.
struct ParameterTables {
    ParameterTable whole;                 // every line, each with its own b: the valence summary's
    ParameterTable window;                // the lines of the settings' b: the distance list's
    std::vector<std::string> references;  // the report's reference list
    Status referencesRead;                // failed when the sums cannot be made, with why
};

// Fails with the message when the table cannot be read.
Status readParameterTables(const std::filesystem::path& bvTable, const Settings& settings,
                           ParameterTables& tables);

// What a batch prepares once for all its runs; a single run leaves every part empty and reads
// or makes each itself.
struct SharedInputs {
    const ParameterTables* tables = nullptr;
    const std::string* spaceGroupData = nullptr;  // the text of the space-group data file
    const DistanceListFiles* scratch = nullptr;   // scratch files of the thread, made already
};

// Reads `input` with `mode`, runs every phase with `settings` in `workDir` and writes the report
// to `output`: the whole report, or the failing phase's message. Reader notes and a late failure
// go to `console`. `result` receives what each phase produced. 0, or 1 when the report could not
// be written.
int runCalculation(ReaderMode mode, const std::filesystem::path& input,
                   const std::filesystem::path& output, const Settings& settings,
                   const std::filesystem::path& workDir, std::ostream& console,
                   CalculationResult& result, const SharedInputs& shared = {});

// The extension a format's files carry, as the JSON output names the format.
const char* formatName(ReaderMode mode);

}  // namespace tarnell
