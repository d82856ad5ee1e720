#include "valence/calculation.h"

#include <algorithm>
#include <cmath>

#include "crystal/cell_metric.h"
#include "settings/text.h"
#include "valence/site_overlaps.h"

namespace tarnell {
namespace {

// Every phase up to the distance list; fails with the first failing phase's message.
Status listBonds(CalculationResult& result, const CalculationInputs& inputs) {
    CrystalStructure& structure = result.structure;
    if (Status expanded =
            expandSymmetry(structure, inputs.spaceGroups, result.operators, result.operatorTexts);
        !expanded.ok())
        return expanded;
    if (!inputs.tables.loaded.ok()) return inputs.tables.loaded;
    result.overfilled = resolveSiteOverlaps(structure, result.operators);
    // The sums give each site its bonds by index, but every list names sites by label.
    const std::vector<Site>& sites = structure.sites;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        for (std::size_t j = i + 1; j < sites.size(); ++j) {
            if (sites[i].name == sites[j].name) {
                return Status::failed(MessageId::SpeciesNameTwice, sites[i].name);
            }
        }
    }
    if (Status found = findBonds(structure, result.operators, inputs.settings, inputs.tables.window,
                                 result.bonds);
        !found.ok())
        return found;
    for (const Bond& bond : result.bonds) result.listedCount += bond.number != 0;
    if (result.listedCount == 0) {
        // Distances that the lines of another b would list are there; the b is what is wrong.
        std::vector<Bond> anyB;
        if (inputs.tables.window.lines.size() != inputs.tables.whole.lines.size() &&
            findBonds(structure, result.operators, inputs.settings, inputs.tables.whole, anyB)
                .ok() &&
            std::any_of(anyB.begin(), anyB.end(), [](const Bond& bond) { return bond.number; })) {
            return Status::failed(MessageId::NoLinesWithBvB, inputs.settings.bvB,
                                  inputs.settings.dMax);
        }
        return Status::failed(MessageId::NoDistanceEntry, inputs.settings.dMax);
    }
    return {};
}

// The structure with the valences of `assignment` where it assigned them.
CrystalStructure withValences(const CrystalStructure& structure,
                              const ValenceAssignment& assignment) {
    CrystalStructure copy = structure;
    if (assignment.outcome != AssignmentOutcome::Assigned) return copy;
    for (std::size_t i = 0; i < copy.sites.size(); ++i) {
        if (assignment.sources[i] == ValenceSource::Assigned)
            copy.sites[i].valence = assignment.valences[i];
    }
    return copy;
}

// The first value of the sums and the summary that is not a finite number, named; empty when
// every one is. Extreme inputs that pass every reader (a b near 0, an R0 far from its distances)
// would otherwise be written as "inf" or "nan" under a status that says all went well.
std::string firstValueNotFinite(const CalculationResult& result) {
    const std::vector<Site>& sites = result.structure.sites;
    for (const Bond& bond : result.bonds) {
        for (double s : bond.s) {
            if (!std::isfinite(s)) return "bond valence of " + sites[bond.centre].name;
        }
    }
    for (const SiteSums& sums : result.sums) {
        for (const AlternativeSum& sum : sums.alternatives) {
            if (!std::isfinite(sum.bvs) || !std::isfinite(sum.sigma))
                return "valence sum of " + sites[sums.site].name;
        }
    }
    for (const SiteSummary& site : result.summary.sites) {
        if (!std::isfinite(site.bvs) || !std::isfinite(site.sigma) || !std::isfinite(site.relative))
            return "bond valence sum of " + sites[site.site].name + " in the summary";
    }
    const ValenceSummary& summary = result.summary;
    if (!std::isfinite(summary.gii)) return "global instability index";
    if (!std::isfinite(summary.cationValences) || !std::isfinite(summary.anionValences))
        return "valences per cell";
    return {};
}

}  // namespace

Status expandSymmetry(CrystalStructure& structure, const SpaceGroupData& spaceGroups,
                      OperatorTable& operators, std::vector<std::string>& operatorTexts) {
    // A file with an origin or a cell of its own brings its operators along.
    SpaceGroupRecord record;
    if (!structure.symmetryOperators.empty()) {
        if (Status group = readFileGroup(structure, record, operators); !group.ok()) return group;
    } else {
        if (Status group = findSpaceGroupRecord(spaceGroups, structure, record); !group.ok())
            return group;
        expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                record.operatorTexts, record.groupCodes, operators);
    }
    copyCellUncertainties(structure);
    operatorTexts = record.operatorTexts;
    operatorTexts.resize(operators.size());
    return {};
}

void copyCellUncertainties(CrystalStructure& structure) {
    auto& sigma = structure.cellSigma;
    switch (structure.crystalSystem) {
        case CrystalSystem::Tetragonal:
        case CrystalSystem::Hexagonal:
            sigma[1] = sigma[0];
            break;
        case CrystalSystem::Trigonal:  // hexagonal axes in setting 1, rhombohedral otherwise
            sigma[1] = sigma[0];
            if (structure.sgSetting != 1) {
                sigma[2] = sigma[0];
                sigma[4] = sigma[3];
                sigma[5] = sigma[3];
            }
            break;
        case CrystalSystem::Cubic:
            sigma[1] = sigma[0];
            sigma[2] = sigma[0];
            break;
        default:  // triclinic, monoclinic, orthorhombic: every parameter is independent
            break;
    }
}

CalculationResult unreadResult(Status status, const Settings& settings) {
    CalculationResult result;
    result.status = std::move(status);
    result.settings = settings;
    return result;
}

CalculationResult calculate(CrystalStructure structure, const CalculationInputs& inputs) {
    CalculationResult result;
    result.settings = inputs.settings;
    result.table = inputs.tables.source;
    // A cell that is no cell is as unreadable as a file that is no structure.
    result.status = checkCell(structure.cell, structure.cellSigma);
    if (!result.status.ok()) return result;
    result.structure = std::move(structure);
    result.stage = CalculationStage::Read;
    result.status = listBonds(result, inputs);
    if (!result.status.ok()) {
        result.bonds.clear();
        result.listedCount = 0;
        return result;
    }
    result.stage = CalculationStage::Listed;
    const ParameterTables& tables = inputs.tables;
    result.status = tables.referencesRead;
    if (result.status.ok()) {
        result.status =
            computeSiteSums(result.structure, result.bonds, inputs.settings.bvB, result.sums);
        // Too many bonds at one site where sites share positions: say what is the likely cause.
        if (!result.status.ok() && result.overfilled &&
            result.status.message().id == MessageId::TooManyBondsAtSite)
            result.status = Status::failed(MessageId::TooManyBondsOverfilled, MaxBondsPerSite);
    }
    if (!result.status.ok()) return result;
    result.references = tables.references;
    result.assignment = assignValences(result.structure, result.operators, result.bonds,
                                       tables.whole, inputs.settings.bvB, false);
    result.summary =
        summariseValences(withValences(result.structure, result.assignment), result.operators,
                          result.bonds, tables.whole, inputs.settings.bvB);
    if (inputs.checkValences) {
        result.check = assignValences(result.structure, result.operators, result.bonds,
                                      tables.whole, inputs.settings.bvB, true);
        if (result.check.outcome == AssignmentOutcome::Assigned) {
            result.checkSummary =
                summariseValences(withValences(result.structure, result.check), result.operators,
                                  result.bonds, tables.whole, inputs.settings.bvB);
        }
    }
    result.stage = CalculationStage::Summarised;
    if (const std::string what = firstValueNotFinite(result); !what.empty())
        result.status = Status::failed(MessageId::ResultNotFinite, what);
    return result;
}

}  // namespace tarnell
