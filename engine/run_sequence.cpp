#include "engine/run_sequence.h"

#include <exception>
#include <fstream>

#include "engine/scratch_files.h"
#include "geometry/operator_expansion.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "settings/wording.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "valence/bond_search.h"
#include "valence/report.h"
#include "valence/valence_sums.h"
#include "valence/valence_summary.h"

namespace tarnell {
namespace {

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

}  // namespace

EnginePaths enginePaths(const std::filesystem::path& workDir) {
    return {workDir / "Tarnell.ini", workDir / "BVTable"};
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
    const std::optional<ReaderMode> mode =
        args.size() >= 4 ? readerModeForOption(args[1]) : std::nullopt;
    if (!mode) {
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

    {
        const std::filesystem::path inputPath = args[2];
        const std::filesystem::path outputPath = args[3];
        const ReaderContext context{EngineWording, settings.dMax,
                                    inWorkDir(workDir, settings.sgTransFile)};

        CrystalStructure structure;
        SpaceGroupRecord record;
        OperatorTable operators;
        message.clear();
        int status = -1;
        // Whatever fails while reading, the message becomes the report; nothing escapes the run.
        try {
            status = readStructure(*mode, inputPath, structure, context, message);
            if (status == 0) {
                for (const std::string& note : structure.notes) console << note;
                // A file with an origin or a cell of its own brings its operators along.
                status = structure.symmetryOperators.empty()
                             ? readSpaceGroupRecord(inWorkDir(workDir, settings.spgraFile),
                                                    structure, record, message)
                             : readFileGroup(structure, record, operators, message);
            }
        } catch (const std::exception& error) {
            message =
                formatText(EngineWording.readFailure, inputPath.string().c_str(), error.what());
            status = -1;
        }
        int distanceCount = 0;
        std::vector<IonContact> contacts;
        // Made only once a search is due, and gone whichever way the run ends.
        std::optional<ScratchFiles> scratch;
        DistanceListFiles scratchFiles;
        if (status == 0) {
            scratch.emplace(workDir);
            scratchFiles = scratch->files();
            if (!scratch->created()) {
                message = "  Error !!!   The distance list files cannot be created.\n";
                status = -1;
            }
        }
        if (status == 0) {
            copyCellUncertainties(structure);
            if (structure.symmetryOperators.empty()) {
                expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                        record.operatorTexts, record.groupCodes, operators);
            }
            status = searchDistances(structure, operators, settings, paths.bvTable, scratchFiles,
                                     distanceCount, message, &contacts);
            if (status == 0 && distanceCount == 0) {
                message = formatText("  Error !!!  No distance entry within less then %5.3lf.\n",
                                     settings.dMax);
                status = -1;
            }
        }

        if (writeReport(status, outputPath, structure, record.operatorTexts, distanceCount,
                        scratchFiles, message, console) == 0) {
            if (computeValenceSums(structure, distanceCount, scratchFiles, paths.bvTable, settings,
                                   outputPath, message) != 0) {
                reportLateFailure(outputPath, message, console);
            } else {
                ValenceSummary summary;
                appendValenceSummary(structure, operators, contacts, paths.bvTable, settings.bvB,
                                     outputPath, summary);
            }
        }
    }

    console << "\n  Calculation completed !\n" << "\n";
    return 0;
}

}  // namespace tarnell
