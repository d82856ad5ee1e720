#include "engine/run_sequence.h"

#include <algorithm>
#include <fstream>

#include "engine/batch.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/structure_reader.h"

namespace tarnell {

int batchInputs(const std::string& argument, std::vector<std::filesystem::path>& files,
                std::string& message) {
    std::error_code error;
    if (argument.size() > 1 && argument[0] == '@') {
        std::ifstream list(argument.substr(1), std::ios::binary);
        if (!list) {
            message = formatText("  Error !!! List %s cannot be read.\n", argument.c_str() + 1);
            return -1;
        }
        std::string line;
        while (readLine(list, line)) {
            if (!trimBlanks(line).empty()) files.emplace_back(line);
        }
        return 0;
    }
    if (!std::filesystem::is_directory(argument, error)) {
        files.emplace_back(argument);
        return 0;
    }
    // A folder gives its structure files, those of its subfolders too, in name order.
    std::vector<std::filesystem::path> found;
    for (std::filesystem::recursive_directory_iterator it(argument, error), end;
         !error && it != end; it.increment(error)) {
        std::string extension = it->path().extension().string();
        if (!extension.empty()) extension.erase(0, 1);
        if (it->is_regular_file(error) && readerModeForExtension(extension)) found.push_back(it->path());
    }
    if (error) {
        message = formatText("  Error !!! Folder %s cannot be read.\n", argument.c_str());
        return -1;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return 0;
}

bool isBatch(const std::vector<std::string>& args) {
    return args.size() >= 2 && args[1] == "--batch";
}

int runEngine(const std::vector<std::string>& args, const std::filesystem::path& workDir,
              std::ostream& console, bool onTerminal) {
    const bool batch = isBatch(args) && args.size() >= 4;
    const std::optional<ReaderMode> mode =
        args.size() == 4 || (args.size() == 6 && args[4] == "-j") ? readerModeForOption(args[1])
                                                                   : std::nullopt;
    if (!mode && !batch) {
        console << UsageText << "Ok?\n";
        return -1;
    }
    console << "!!! Now calculating .... \n";

    const EnginePaths paths = enginePaths(workDir);
    Settings settings;
    std::string message;
    if (readSettings(paths.settings, settings, message) != 0) {
        // Whatever failed, the user is pointed at the settings file as a whole.
        console << "  Error !!! Tarnell.ini file not found.\n" << "Ok?\n";
        return -1;
    }

    if (batch) {
        std::vector<std::filesystem::path> files;
        for (auto arg = args.begin() + 3; arg != args.end(); ++arg) {
            if (batchInputs(*arg, files, message) != 0) {
                console << message;
                return 1;
            }
        }
        return runBatch(args[2], files, settings, workDir, TARNELL_VERSION, console, onTerminal);
    }

    CalculationResult result;
    runCalculation(*mode, args[2], args[3], settings, workDir, console, result);
    int status = 0;
    if (args.size() == 6) {
        std::ofstream json(args[5], std::ios::binary | std::ios::trunc);
        json << resultJson(result, TARNELL_VERSION) << '\n';
        if (!json.flush()) {
            console << formatText("  Error !!! %s cannot be written.\n", args[5].c_str());
            status = 1;
        }
    }
    console << "\n  Calculation completed !\n" << "\n";
    return status;
}

}  // namespace tarnell
