#include "engine/run_sequence.h"

#include <fstream>

#include "engine/batch.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/structure_reader.h"

namespace tarnell {

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
        const std::vector<std::filesystem::path> files(args.begin() + 3, args.end());
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
