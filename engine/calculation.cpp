#include "engine/calculation.h"

#include <exception>

#include "settings/text.h"
#include "structure/structure_reader.h"

namespace tarnell {

EnginePaths enginePaths(const std::filesystem::path& workDir) {
    return {workDir / "Tarnell.ini", workDir / "BVTable"};
}

const char* formatName(ReaderMode mode) {
    return inputFormat(mode).extension;
}

EngineInputs readEngineInputs(const Settings& settings, const std::filesystem::path& workDir) {
    EngineInputs inputs;
    inputs.settings = settings;
    inputs.tables = readParameterTables(enginePaths(workDir).bvTable, settings);
    inputs.spaceGroups = readSpaceGroupData(settingsFilePath(workDir, settings.spgraFile));
    inputs.sgTransFile = settingsFilePath(workDir, settings.sgTransFile);
    return inputs;
}

CalculationResult calculateFile(ReaderMode mode, const std::filesystem::path& input,
                                const EngineInputs& inputs) {
    const ReaderContext context{inputs.settings.dMax, inputs.sgTransFile};
    CrystalStructure structure;
    Status status;
    // Whatever fails while reading, the message becomes the report.
    try {
        status = readStructure(mode, input, structure, context);
    } catch (const std::exception& error) {
        status =
            Status::failed(message(MessageId::ReadFailure, input.string().c_str(), error.what()));
    }
    if (!status.ok()) return unreadResult(std::move(status), inputs.settings);
    return calculate(std::move(structure), inputs.calculationInputs());
}

}  // namespace tarnell
