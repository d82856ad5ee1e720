#include "engine/run_sequence.h"

#include <system_error>

#include <fstream>

#include "geometry/cell_metric.h"
#include "geometry/neighbour_search.h"
#include "geometry/operator_expansion.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "settings/wording.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "valence/report.h"
#include "valence/valence_sums.h"

namespace tarnell {
namespace {

// The neighbour search leaves its results in two scratch files; they must not outlive the run,
// whichever way it ends.
class ScratchFiles {
public:
    explicit ScratchFiles(const EnginePaths& paths) : paths_(paths) {}
    ~ScratchFiles() {
        std::error_code ignored;  // a file that was never made is no error
        std::filesystem::remove(paths_.distances, ignored);
        std::filesystem::remove(paths_.parameters, ignored);
    }
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

private:
    const EnginePaths& paths_;
};

// When the sums fail, the report ends after its distance list; the message says why its last
// section is missing, in the report and on the console.
void reportLateFailure(const std::filesystem::path& outputPath, const std::string& message,
                       std::ostream& console) {
    console << message;
    std::ofstream out(outputPath, std::ios::binary | std::ios::app);
    if (out) out << message << '\n';
}

// A relative path in the settings file is taken relative to the working directory.
std::filesystem::path inWorkDir(const std::filesystem::path& workDir, const std::string& path) {
    return path.empty() ? std::filesystem::path() : workDir / path;
}

constexpr std::size_t MaxPathTextLength = 400;

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    // A file that does not exist yet is the same when both names lead to one place.
    const std::filesystem::path left = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const std::filesystem::path right = std::filesystem::weakly_canonical(b, error);
    return !error && left == right;
}

// The report replaces whatever stands at its path, so it must not stand where the run's input or
// the data the engine reads are kept.
bool reportWouldReplaceInput(const std::filesystem::path& output,
                             const std::filesystem::path& input,
                             const std::filesystem::path& workDir, const EnginePaths& paths,
                             const Settings* settings) {
    std::vector<std::filesystem::path> kept = {input, paths.settings, paths.bvTable};
    if (settings != nullptr) {
        if (!settings->spgraFile.empty()) kept.push_back(workDir / settings->spgraFile);
        if (!settings->sgTransFile.empty()) kept.push_back(workDir / settings->sgTransFile);
    }
    for (const std::filesystem::path& path : kept) {
        if (sameFile(output, path)) return true;
    }
    return false;
}

// Opened for appending, the file is neither changed nor, when it exists, emptied; a run that
// could not write its report must not end as if it had.
bool reportCanBeWritten(const std::filesystem::path& output) {
    std::error_code error;
    if (std::filesystem::is_directory(output, error)) return false;
    std::ofstream probe(output, std::ios::binary | std::ios::app);
    return static_cast<bool>(probe);
}

}  // namespace

EnginePaths enginePaths(const std::filesystem::path& workDir) {
    return {workDir / "Tarnell.ini", workDir / "BVTable", workDir / "ftemp1.$$$",
            workDir / "ftemp2.$$$"};
}

void copyCellUncertainties(CrystalStructure& structure) {
    auto& sigma = structure.cellSigma;
    switch (structure.crystalSystem) {
        case 4:  // tetragonal
        case 6:  // hexagonal
            sigma[1] = sigma[0];
            break;
        case 5:  // trigonal: hexagonal axes in setting 1, rhombohedral axes otherwise
            sigma[1] = sigma[0];
            if (structure.sgSetting != 1) {
                sigma[2] = sigma[0];
                sigma[4] = sigma[3];
                sigma[5] = sigma[3];
            }
            break;
        case 7:  // cubic
            sigma[1] = sigma[0];
            sigma[2] = sigma[0];
            break;
        default:  // triclinic, monoclinic, orthorhombic: every parameter is independent
            break;
    }
}

int runEngine(const std::vector<std::string>& args, const std::filesystem::path& workDir,
              std::ostream& console) {
    const EnginePaths paths = enginePaths(workDir);
    Settings settings;
    std::string message;
    // Read first only so that the report can be kept off the files the settings name; a
    // failure is announced after the usage check, as before.
    const int settingsStatus = readSettings(paths.settings, settings, message);

    const std::optional<ReaderMode> mode =
        args.size() >= 4 ? readerModeForOption(args[1]) : std::nullopt;
    if (!mode || reportWouldReplaceInput(args[3], args[2], workDir, paths,
                                         settingsStatus == 0 ? &settings : nullptr)) {
        console << UsageText << "Ok?\n";
        return -1;
    }
    console << "!!! Now calculating .... \n";

    if (settingsStatus != 0) {
        // The fixed line points at the settings file as a whole; the next one says what to fix.
        console << "  Error !!! Tarnell.ini file not found.\n" << message;
        if (!message.empty() && message.back() != '\n') console << '\n';
        console << "Ok?\n";
        return -1;
    }
    if (!reportCanBeWritten(args[3])) {
        console << formatText("  Error !!! Output file %s cannot be written.\n",
                              printableText(args[3], MaxPathTextLength).c_str());
        return 1;
    }

    {
        const ScratchFiles scratch(paths);
        const std::filesystem::path inputPath = args[2];
        const std::filesystem::path outputPath = args[3];
        const ReaderContext context{EngineWording, settings.dMax,
                                    inWorkDir(workDir, settings.sgTransFile)};

        CrystalStructure structure;
        SpaceGroupRecord record;
        OperatorTable operators;
        message.clear();
        int status = readStructure(*mode, inputPath, structure, context, message);
        if (status == 0) {
            status = checkCell(structure.cell, structure.cellSigma, EngineWording, message);
        }
        if (status == 0) {
            status = readSpaceGroupRecord(inWorkDir(workDir, settings.spgraFile), structure,
                                          record, message);
        }
        int distanceCount = 0;
        const DistanceListFiles scratchFiles{paths.distances, paths.parameters};
        if (status == 0) {
            copyCellUncertainties(structure);
            expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                    record.operatorTexts, record.groupCodes, operators);
            status = searchDistances(structure, operators, settings, paths.bvTable, scratchFiles,
                                     distanceCount, message);
            if (status == 0 && distanceCount == 0) {
                message = formatText("  Error !!!  No distance entry within less then %5.3lf.\n",
                                     settings.dMax);
                status = -1;
            }
        }

        if (writeReport(status, outputPath, structure, record.operatorTexts, distanceCount,
                        paths.distances, message, console) == 0 &&
            computeValenceSums(structure, distanceCount, scratchFiles, paths.bvTable, settings,
                               outputPath, message) != 0) {
            reportLateFailure(outputPath, message, console);
        }
    }

    console << "\n  Calculation completed !\n" << "\n";
    return 0;
}

}  // namespace tarnell
