#include "engine/landscape_run.h"

#include <exception>
#include <fstream>
#include <optional>

#include "crystal/cell_metric.h"
#include "crystal/operator_expansion.h"
#include "engine/calculation.h"
#include "engine/output_file.h"
#include "landscape/cube_file.h"
#include "landscape/landscape_report.h"
#include "settings/numbers.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "valence/calculation.h"
#include "valence/json_report.h"
#include "valence/parameter_table.h"

namespace tarnell {

namespace {

constexpr std::size_t MaxPathTextLength = 400;
// More threads than this would only share the same cores.
constexpr int MaxThreads = 256;

struct LandscapeCommand {
    TestIon ion;
    std::filesystem::path input;
    std::filesystem::path cube;
    std::optional<std::filesystem::path> json;
    LandscapeOptions options;
    std::vector<std::string> mobile;
    std::string reference;  // the table's reference whose lines come first
};

std::optional<LandscapeCommand> parseCommand(const std::vector<std::string>& args) {
    if (args.size() < 5) return std::nullopt;
    LandscapeCommand command;
    const std::optional<TestIon> ion = parseTestIon(args[2]);
    if (!ion) return std::nullopt;
    command.ion = *ion;
    command.input = args[3];
    command.cube = args[4];
    for (std::size_t i = 5; i < args.size(); ++i) {
        const std::string& option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (option == "--step" || option == "--cutoff") {
            const std::optional<double> value = hasValue ? readReal(args[i + 1]) : std::nullopt;
            if (!value) return std::nullopt;
            (option == "--step" ? command.options.step : command.options.cutoff) = *value;
            ++i;
        } else if (option == "--threads") {
            const std::optional<int> value = hasValue ? readInteger(args[i + 1]) : std::nullopt;
            if (!value || *value < 1 || *value > MaxThreads) return std::nullopt;
            command.options.threads = *value;
            ++i;
        } else if (option == "--reference") {
            if (!hasValue || !command.reference.empty()) return std::nullopt;
            command.reference = args[++i];
        } else if (option == "-j") {
            if (!hasValue || command.json) return std::nullopt;
            command.json = args[++i];
        } else if (option == "--mobile") {
            // Labels up to the next option.
            while (i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0)
                command.mobile.push_back(args[++i]);
            if (command.mobile.empty()) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return command;
}

// The cube and the JSON replace whatever stands at their paths: never the structure, the files
// the engine reads, or each other.
bool outputsReplaceInputs(const LandscapeCommand& command, const std::filesystem::path& workDir,
                          const Settings* settings) {
    std::vector<std::filesystem::path> kept = {command.input, enginePaths(workDir).settings,
                                               enginePaths(workDir).bvTable};
    if (settings != nullptr) {
        for (const std::string* file : {&settings->spgraFile, &settings->sgTransFile}) {
            if (!file->empty()) kept.push_back(settingsFilePath(workDir, *file));
        }
    }
    std::vector<std::filesystem::path> outputs = {command.cube};
    if (command.json) {
        if (sameFile(*command.json, command.cube)) return true;
        outputs.push_back(*command.json);
    }
    for (const auto& output : outputs) {
        for (const auto& input : kept) {
            if (sameFile(output, input)) return true;
        }
    }
    return false;
}

// The structure, its operators and the table, read as a calculation reads them.
Status readInputs(const LandscapeCommand& command, const Settings& settings,
                  const std::filesystem::path& workDir, CrystalStructure& structure,
                  OperatorTable& operators, ParameterTable& table, std::ostream& console) {
    std::string extension = command.input.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    const std::optional<ReaderMode> mode = readerModeForExtension(extension);
    if (!mode) {
        return Status::failed(MessageId::NotAStructureFile,
                              printableText(command.input.string(), MaxPathTextLength));
    }
    const ReaderContext context{settings.dMax, settingsFilePath(workDir, settings.sgTransFile)};
    Status status = readStructure(*mode, command.input, structure, context);
    if (status.ok()) status = checkCell(structure.cell, structure.cellSigma);
    if (!status.ok()) return status;
    for (const Message& note : structure.notes) console << messageText(note, Program::Engine);
    const SpaceGroupData spaceGroups =
        readSpaceGroupData(settingsFilePath(workDir, settings.spgraFile));
    std::vector<std::string> operatorTexts;
    status = expandSymmetry(structure, spaceGroups, operators, operatorTexts);
    if (!status.ok()) return status;
    return loadParameterTable(enginePaths(workDir).bvTable, table);
}

}  // namespace

bool isLandscape(const std::vector<std::string>& args) {
    return args.size() >= 2 && args[1] == "--landscape";
}

int runLandscape(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                 std::ostream& console) {
    const std::optional<LandscapeCommand> command = parseCommand(args);
    if (!command) {
        console << LandscapeUsageText << "Ok?\n";
        return -1;
    }
    Settings settings;
    const Status read = readSettings(enginePaths(workDir).settings, settings);
    if (outputsReplaceInputs(*command, workDir, read.ok() ? &settings : nullptr)) {
        console << LandscapeUsageText << "Ok?\n";
        return -1;
    }
    if (!read.ok()) {
        console << messageText(message(MessageId::SettingsFailed), Program::Engine)
                << read.text(Program::Engine) << "Ok?\n";
        return -1;
    }
    LandscapeResult result;
    result.options = command->options;
    Status status;
    try {
        CrystalStructure structure;
        OperatorTable operators;
        ParameterTable table;
        status = readInputs(*command, settings, workDir, structure, operators, table, console);
        if (status.ok())
            status = buildLandscapeFrame(structure, operators, table, command->ion, command->mobile,
                                         settings.bvB, result.frame, command->reference);
    } catch (const std::exception& error) {
        status = Status::failed(MessageId::ReadFailure, command->input, error.what());
    }
    if (status.ok()) {
        for (const std::string& note : result.frame.notes) console << note;
        status = computeLandscape(result.frame, result.options, result.landscape);
    }
    if (status.ok()) {
        result.percolation = findPercolation(result.landscape.points, result.landscape.values);
        status = writeCubeFile(command->cube, result.frame, result.landscape,
                               "Tarnell landscape of " + testIonName(command->ion) + " in " +
                                   printableText(command->input.filename().string(), 200));
    }
    if (!status.ok()) {
        console << status.text(Program::Engine);
        return 1;
    }
    console << landscapeSummary(result);
    if (command->json) {
        nlohmann::ordered_json document;
        document["format_version"] = JsonFormatVersion;
        document["program"] = {{"name", "Tarnell"}, {"version", TARNELL_VERSION}};
        document["input"] = {{"path", command->input.string()},
                             {"format", command->input.extension().string().substr(
                                            command->input.has_extension() ? 1 : 0)}};
        document["landscape"] = landscapeJson(result);
        document["landscape"]["cube"] = command->cube.string();
        std::ofstream json(*command->json, std::ios::binary | std::ios::trunc);
        json << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
             << '\n';
        if (!json.flush()) {
            console << messageText(
                message(MessageId::OutputCannotBeWritten,
                        printableText(command->json->string(), MaxPathTextLength)),
                Program::Engine);
            return 1;
        }
    }
    return 0;
}

}  // namespace tarnell
