#include "engine/calculation.h"

#include <exception>
#include <fstream>

#include "engine/scratch_files.h"
#include "geometry/operator_expansion.h"
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

const char* formatName(ReaderMode mode) {
    switch (mode) {
        case ReaderMode::NativeFile: return "inp";
        case ReaderMode::MorvekListing: return "lst";
        case ReaderMode::IcsdText: return "txt";
        case ReaderMode::CifFile: return "cif";
    }
    return "";
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

void runCalculation(ReaderMode mode, const std::filesystem::path& inputPath,
                    const std::filesystem::path& outputPath, const Settings& settings,
                    const std::filesystem::path& workDir, std::ostream& console,
                    CalculationResult& result) {
    const EnginePaths paths = enginePaths(workDir);
    const ReaderContext context{EngineWording, settings.dMax,
                                inWorkDir(workDir, settings.sgTransFile)};
    result = CalculationResult{};
    result.inputPath = inputPath.string();
    result.inputFormat = formatName(mode);
    result.settings = settings;

    CrystalStructure& structure = result.structure;
    std::string& message = result.message;
    SpaceGroupRecord record;
    OperatorTable operators;
    int status = -1;
    // Whatever fails while reading, the message becomes the report; nothing escapes the run.
    try {
        status = readStructure(mode, inputPath, structure, context, message);
        if (status == 0) {
            result.structureRead = true;
            for (const std::string& note : structure.notes) console << note;
            // A file with an origin or a cell of its own brings its operators along.
            status = structure.symmetryOperators.empty()
                         ? readSpaceGroupRecord(inWorkDir(workDir, settings.spgraFile), structure,
                                                record, message)
                         : readFileGroup(structure, record, operators, message);
        }
    } catch (const std::exception& error) {
        message = formatText(EngineWording.readFailure, inputPath.string().c_str(), error.what());
        status = -1;
    }
    int distanceCount = 0;
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
        result.operatorTexts = record.operatorTexts;
        result.operatorTexts.resize(operators.size());
        status = searchDistances(structure, operators, settings, paths.bvTable, scratchFiles,
                                 distanceCount, message, &result.contacts);
        if (status == 0 && distanceCount == 0) {
            message = formatText("  Error !!!  No distance entry within less then %5.3lf.\n",
                                 settings.dMax);
            status = -1;
        }
    }
    result.status = status;

    if (writeReport(status, outputPath, structure, record.operatorTexts, distanceCount,
                    scratchFiles, message, console) != 0) {
        if (status == 0) result.status = -1;
        return;
    }
    if (computeValenceSums(structure, distanceCount, scratchFiles, paths.bvTable, settings,
                           outputPath, message, &result.sums, &result.entries) != 0) {
        reportLateFailure(outputPath, message, console);
        result.status = -1;
        return;
    }
    readReferenceList(paths.bvTable, settings.entryNum, result.references, message);
    message.clear();
    result.summaryMade = appendValenceSummary(structure, operators, result.contacts,
                                              paths.bvTable, settings.bvB, outputPath,
                                              result.summary) == 0;
}

}  // namespace tarnell
