// One structure file through a calculation: read with its format's reader, calculated with the
// inputs that every calculation of a run shares, each read once.
#pragma once

#include <filesystem>
#include <string>

#include "crystal/crystal_structure.h"
#include "settings/settings_file.h"
#include "structure/space_group_lookup.h"
#include "valence/calculation.h"
#include "valence/parameter_table.h"

namespace tarnell {

// The files of the working directory that a run reads besides its arguments.
struct EnginePaths {
    std::filesystem::path settings;  // Tarnell.ini
    std::filesystem::path bvTable;   // BVTable
};

EnginePaths enginePaths(const std::filesystem::path& workDir);

// What every calculation of a run shares: the settings and the data files they name, read once.
// A data file that cannot be read fails each calculation once its structure is read.
struct EngineInputs {
    Settings settings;
    ParameterTables tables;
    SpaceGroupData spaceGroups;
    std::filesystem::path sgTransFile;  // read by the readers' setting lookup
    bool checkValences = false;         // --check-valences

    CalculationInputs calculationInputs() const {
        return {settings, tables, spaceGroups, checkValences};
    }
};

EngineInputs readEngineInputs(const Settings& settings, const std::filesystem::path& workDir);

// Reads `input` with `mode` and calculates it. Whatever fails, the result says why; nothing
// escapes.
CalculationResult calculateFile(ReaderMode mode, const std::filesystem::path& input,
                                const EngineInputs& inputs);

// The extension a format's files carry, as the JSON output names the format.
const char* formatName(ReaderMode mode);

}  // namespace tarnell
