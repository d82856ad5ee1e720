#include "engine/calculation.h"

#include <exception>
#include <fstream>
#include <sstream>

#include "crystal/cell_metric.h"
#include "crystal/operator_expansion.h"
#include "engine/scratch_files.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "settings/wording.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "valence/bond_search.h"
#include "valence/report.h"
#include "valence/valence_summary.h"
#include "valence/valence_sums.h"

namespace tarnell {
EnginePaths enginePaths(const std::filesystem::path& workDir) {
    return {workDir / "Tarnell.ini", workDir / "BVTable"};
}

const char* formatName(ReaderMode mode) {
    switch (mode) {
        case ReaderMode::NativeFile:
            return "inp";
        case ReaderMode::MorvekListing:
            return "lst";
        case ReaderMode::IcsdText:
            return "txt";
        case ReaderMode::CifFile:
            return "cif";
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

Status readParameterTables(const std::filesystem::path& bvTable, const Settings& settings,
                           ParameterTables& tables) {
    if (Status loaded = loadParameterTable(bvTable, tables.whole); !loaded.ok()) return loaded;
    tables.window = linesWithB(tables.whole, settings.bvB);
    // A fault of the reference section or of BV-B ends only the sums: the distance list stands.
    if (!(settings.bvB > 0.0)) {
        tables.referencesRead = Status::failed(
            formatText("  Error !!! BV-B must be positive, not %g.\n", settings.bvB));
    } else {
        tables.referencesRead = readReferenceList(bvTable, settings.entryNum, tables.references);
    }
    return {};
}

int runCalculation(ReaderMode mode, const std::filesystem::path& inputPath,
                   const std::filesystem::path& outputPath, const Settings& settings,
                   const std::filesystem::path& workDir, std::ostream& console,
                   CalculationResult& result, const SharedInputs& shared) {
    const ParameterTables* tables = shared.tables;
    const EnginePaths paths = enginePaths(workDir);
    const ReaderContext context{EngineWording, settings.dMax,
                                settingsFilePath(workDir, settings.sgTransFile)};
    result = CalculationResult{};
    result.inputPath = inputPath.string();
    result.inputFormat = formatName(mode);
    result.settings = settings;

    CrystalStructure& structure = result.structure;
    Status& status = result.status;
    SpaceGroupRecord record;
    OperatorTable operators;
    ParameterTables ownTables;
    // Whatever fails while reading, the message becomes the report; nothing escapes the run.
    try {
        status = readStructure(mode, inputPath, structure, context);
        if (status.ok()) status = checkCell(structure.cell, structure.cellSigma, EngineWording);
        if (status.ok()) {
            result.structureRead = true;
            for (const std::string& note : structure.notes) console << note;
            // A file with an origin or a cell of its own brings its operators along.
            const std::filesystem::path spgraFile = settingsFilePath(workDir, settings.spgraFile);
            if (!structure.symmetryOperators.empty()) {
                status = readFileGroup(structure, record, operators);
            } else if (shared.spaceGroupData != nullptr) {
                std::istringstream data(*shared.spaceGroupData);
                status = readSpaceGroupRecord(data, spgraFile, structure, record);
            } else {
                status = readSpaceGroupRecord(spgraFile, structure, record);
            }
        }
    } catch (const std::exception& error) {
        status = Status::failed(
            formatText(EngineWording.readFailure, inputPath.string().c_str(), error.what()));
    }
    int distanceCount = 0;
    // Made only once a search is due, and gone whichever way the run ends.
    std::optional<ScratchFiles> scratch;
    DistanceListFiles scratchFiles;
    if (status.ok() && shared.scratch != nullptr) {
        scratchFiles = *shared.scratch;
    } else if (status.ok()) {
        scratch.emplace(workDir);
        scratchFiles = scratch->files();
        if (!scratch->created()) {
            status = Status::failed("  Error !!!   The distance list files cannot be created.\n");
        }
    }
    if (status.ok()) {
        copyCellUncertainties(structure);
        if (structure.symmetryOperators.empty()) {
            expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                    record.operatorTexts, record.groupCodes, operators);
        }
        result.operatorTexts = record.operatorTexts;
        result.operatorTexts.resize(operators.size());
        if (tables == nullptr) {
            status = readParameterTables(paths.bvTable, settings, ownTables);
            tables = &ownTables;
        }
        if (status.ok()) {
            status = searchDistances(structure, operators, settings, tables->window, scratchFiles,
                                     distanceCount, &result.contacts);
        }
        if (status.ok() && distanceCount == 0) {
            status = Status::failed(formatText(
                "  Error !!!  No distance entry within less then %5.3lf.\n", settings.dMax));
        }
    }

    // The report is made whole and written at once: one file to open, and no half report
    // for a reader who looks while the run is still going.
    std::string report;
    if (!status.ok()) {
        // What the reader left out or changed often explains a later failure (a file whose
        // labels name no element has no distance at all), so it stands first here too.
        if (result.structureRead) {
            for (const std::string& note : structure.notes) report += note;
            if (!structure.notes.empty()) report += '\n';
        }
        report += status.message() + "\n";
    } else if (status = readDistanceList(scratchFiles, distanceCount, result.entries);
               !status.ok()) {
        // The distance list is read back once, for the report and the sums.
        report = reportText(structure, record.operatorTexts, {}) + status.message() + "\n";
        console << status.message();
    } else {
        report = reportText(structure, record.operatorTexts, result.entries);
        const ParameterTables& t = *tables;
        status = t.referencesRead;
        if (status.ok())
            status = computeSiteSums(structure, result.entries, settings.bvB, result.sums);
        if (!status.ok()) {
            // The report then ends after its distance list, with the reason.
            report += status.message() + "\n";
            console << status.message();
        } else {
            result.references = t.references;
            result.summary =
                summariseValences(structure, operators, result.contacts, t.whole, settings.bvB);
            result.summaryMade = true;
            report += valenceSumsText(structure, result.sums, result.references);
            report += valenceSummaryText(structure, result.summary);
        }
    }
    std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
    out << report;
    if (!out.flush()) {
        status = Status::failed("  Error !!! Output file not found.\n");
        console << status.message();
        result.summaryMade = false;
        return 1;
    }
    return 0;
}

}  // namespace tarnell
