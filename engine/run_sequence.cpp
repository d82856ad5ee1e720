#include "engine/run_sequence.h"

#include <algorithm>
#include <fstream>

#include "engine/batch.h"
#include "engine/landscape_run.h"
#include "engine/output_file.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/structure_reader.h"
#include "valence/conditions.h"
#include "valence/json_report.h"
#include "valence/report.h"

namespace tarnell {

namespace {

constexpr std::size_t MaxPathTextLength = 400;

// An output replaces whatever stands at its path, so it must not stand where the run's input or
// the data the engine reads are kept.
bool outputWouldReplaceInput(const std::filesystem::path& output,
                             const std::vector<std::filesystem::path>& inputs,
                             const std::filesystem::path& workDir, const EnginePaths& paths,
                             const Settings* settings) {
    std::vector<std::filesystem::path> kept = inputs;
    kept.push_back(paths.settings);
    kept.push_back(paths.bvTable);
    if (settings != nullptr) {
        for (const std::string* file : {&settings->spgraFile, &settings->sgTransFile}) {
            if (!file->empty()) kept.push_back(settingsFilePath(workDir, *file));
        }
    }
    return std::any_of(kept.begin(), kept.end(),
                       [&](const std::filesystem::path& path) { return sameFile(output, path); });
}

// Opened for appending, the file is neither changed nor, when it exists, emptied; a run that
// could not write its report must not end as if it had.
bool outputCanBeWritten(const std::filesystem::path& output) {
    std::error_code error;
    if (std::filesystem::is_directory(output, error)) return false;
    std::ofstream probe(output, std::ios::binary | std::ios::app);
    return static_cast<bool>(probe);
}

}  // namespace

int writeOutputs(const CalculationResult& result, const RunDescription& run,
                 const std::filesystem::path& report, const std::filesystem::path& json,
                 std::ostream& console) {
    if (result.read()) {
        for (const Message& note : result.structure.notes)
            console << messageText(note, Program::Engine);
    }
    // A failure after the distance list stands at the report's end, where the user may miss it.
    if (result.listed() && !result.status.ok()) console << result.status.text(Program::Engine);
    int status = 0;
    if (!replaceFile(report, conditionsText(result, run) + reportText(result))) {
        console << messageText(message(MessageId::OutputNotWritten), Program::Engine);
        status = 1;
    }
    if (!json.empty() && !replaceFile(json, resultJson(result, run) + "\n")) {
        console << messageText(message(MessageId::OutputCannotBeWritten,
                                       printableText(json.string(), MaxPathTextLength)),
                               Program::Engine);
        status = 1;
    }
    return status;
}

namespace {

// A file itself, or every structure file (by its extension) in a folder and its subfolders, in
// name order.
Status fileOrFolder(const std::string& argument, std::vector<std::filesystem::path>& files) {
    std::error_code error;
    if (!std::filesystem::is_directory(argument, error)) {
        files.emplace_back(argument);
        return {};
    }
    std::vector<std::filesystem::path> found;
    for (std::filesystem::recursive_directory_iterator it(argument, error), end;
         !error && it != end; it.increment(error)) {
        std::string extension = it->path().extension().string();
        if (!extension.empty()) extension.erase(0, 1);
        if (it->is_regular_file(error) && readerModeForExtension(extension))
            found.push_back(it->path());
    }
    if (error) {
        return Status::failed(MessageId::FolderUnreadable, argument);
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return {};
}

}  // namespace

Status batchInputs(const std::string& argument, std::vector<std::filesystem::path>& files) {
    if (argument.size() > 1 && argument[0] == '@') {
        std::ifstream list(argument.substr(1), std::ios::binary);
        if (!list) {
            return Status::failed(MessageId::ListUnreadable, argument.substr(1));
        }
        // Blanks around a name are invisible in the list; a folder there is one on the command
        // line. A list in a list is not followed: it could name itself.
        std::string line;
        while (readLine(list, line)) {
            const std::string name = trimBlanks(line);
            if (name.empty()) continue;
            if (Status listed = fileOrFolder(name, files); !listed.ok()) return listed;
        }
        return {};
    }
    return fileOrFolder(argument, files);
}

bool isBatch(const std::vector<std::string>& args) {
    return args.size() >= 2 && args[1] == "--batch";
}

int runEngine(const std::vector<std::string>& givenArgs, const std::filesystem::path& workDir,
              std::ostream& console, bool onTerminal) {
    // The check of stated valences may stand anywhere after the program's name.
    std::vector<std::string> args;
    bool checkValences = false;
    for (std::size_t i = 0; i < givenArgs.size(); ++i) {
        if (i > 0 && givenArgs[i] == "--check-valences") {
            checkValences = true;
        } else {
            args.push_back(givenArgs[i]);
        }
    }
    if (isLandscape(args)) return runLandscape(args, workDir, console);
    const EnginePaths paths = enginePaths(workDir);
    Settings settings;
    // Read first only so that the outputs can be kept off the files the settings name; a
    // failure is announced after the usage check, as before.
    const Status settingsRead = readSettings(paths.settings, settings);
    const Settings* named = settingsRead.ok() ? &settings : nullptr;

    const bool batch = isBatch(args) && args.size() >= 4;
    const std::optional<ReaderMode> mode = args.size() == 4 || (args.size() == 6 && args[4] == "-j")
                                               ? readerModeForOption(args[1])
                                               : std::nullopt;
    bool refused = !mode && !batch;
    if (mode) {
        refused = outputWouldReplaceInput(args[3], {args[2]}, workDir, paths, named) ||
                  (args.size() == 6 &&
                   (outputWouldReplaceInput(args[5], {args[2]}, workDir, paths, named) ||
                    sameFile(args[5], args[3])));
    }
    if (refused) {
        console << UsageText << "Ok?\n";
        return -1;
    }
    console << "!!! Now calculating .... \n";

    if (!settingsRead.ok()) {
        // The fixed line points at the settings file as a whole; the next one says what to fix.
        const std::string reason = settingsRead.text(Program::Engine);
        console << messageText(message(MessageId::SettingsFailed), Program::Engine) << reason;
        if (!reason.empty() && reason.back() != '\n') console << '\n';
        console << "Ok?\n";
        return -1;
    }

    if (batch) {
        std::vector<std::filesystem::path> files;
        for (auto arg = args.begin() + 3; arg != args.end(); ++arg) {
            if (Status listed = batchInputs(*arg, files); !listed.ok()) {
                console << listed.text(Program::Engine);
                return 1;
            }
        }
        return runBatch(args[2], files, settings, workDir, TARNELL_VERSION, console, onTerminal);
    }

    for (std::size_t output = 3; output < args.size(); output += 2) {
        if (!outputCanBeWritten(args[output])) {
            console << messageText(message(MessageId::OutputCannotBeWritten,
                                           printableText(args[output], MaxPathTextLength)),
                                   Program::Engine);
            return 1;
        }
    }
    const ReaderMode reader = mode.value();
    EngineInputs inputs = readEngineInputs(settings, workDir);
    inputs.checkValences = checkValences;
    const CalculationResult result = calculateFile(reader, args[2], inputs);
    int status = writeOutputs(result, {TARNELL_VERSION, args[2], formatName(reader)}, args[3],
                              args.size() == 6 ? args[5] : std::string(), console);
    console << "\n  Calculation completed !\n"
            << "\n";
    return status;
}

}  // namespace tarnell
