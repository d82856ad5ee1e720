#include "valence/json_report.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "search/neighbour_search.h"
#include "settings/text.h"

namespace tarnell {
namespace {

using nlohmann::ordered_json;

// The objects of the distance list, of which a large structure has thousands, are built field by
// field in place: an initializer list first makes every field an array of its own and copies
// it, which took most of the time of a whole batch.
class Fields {
public:
    template <typename T>
    Fields& add(const char* key, T&& value) {
        json_.get_ref<ordered_json::object_t&>().emplace_back(key, std::forward<T>(value));
        return *this;
    }
    ordered_json take() { return std::move(json_); }

private:
    ordered_json json_ = ordered_json::object();
};

ordered_json triple(double x, double y, double z) {
    ordered_json array = ordered_json::array();
    auto& values = array.get_ref<ordered_json::array_t&>();
    values.reserve(3);
    values.emplace_back(x);
    values.emplace_back(y);
    values.emplace_back(z);
    return array;
}

Fields parameterJson(const BondParameter& p, double s) {
    Fields fields;
    fields.add("cation", p.cationKey)
        .add("anion", p.anionKey)
        .add("r0", p.r0)
        .add("reference", p.reference)
        .add("s", s);
    return fields;
}

// "file" or "form" (a native file, as Kestrin's form writes it) for a stated valence,
// "assigned" for one that bond valence assigned.
const char* valenceSource(const CalculationResult& result, int site, const RunDescription& run) {
    const ValenceAssignment& assignment = result.assignment;
    if (assignment.outcome == AssignmentOutcome::Assigned &&
        assignment.sources[static_cast<std::size_t>(site)] == ValenceSource::Assigned)
        return "assigned";
    return run.inputFormat == "inp" ? "form" : "file";
}

// Every site's stated valence beside the one that bond valence assigns it, and both GIIs.
ordered_json checkJson(const CalculationResult& result) {
    const ValenceAssignment& check = result.check;
    ordered_json sites = ordered_json::array();
    if (check.outcome == AssignmentOutcome::Assigned) {
        for (std::size_t i = 0; i < result.structure.sites.size(); ++i) {
            if (check.sources[i] != ValenceSource::Assigned) continue;
            const Site& site = result.structure.sites[i];
            const double stated = formalValence(site);
            sites.push_back(
                {{"site", site.name},
                 {"stated", stated != 0.0 ? ordered_json(stated) : ordered_json(nullptr)},
                 {"assigned", check.valences[i]}});
        }
    }
    const auto gii = [](const ValenceSummary& summary) {
        return summary.sites.empty() ? ordered_json(nullptr) : ordered_json(summary.gii);
    };
    return {{"sites", std::move(sites)},
            {"gii_stated", gii(result.summary)},
            {"gii_assigned", gii(result.checkSummary)},
            {"unassigned", check.outcome == AssignmentOutcome::Failed ? ordered_json(check.reason)
                                                                      : ordered_json(nullptr)}};
}

Fields summaryBondJson(const SummaryBond& bond) {
    const ParameterLine& p = bond.parameter;
    Fields fields;
    fields.add("cation", cationKey(p))
        .add("anion", anionKey(p))
        .add("r0", p.r0)
        .add("b", bond.b)
        .add("reference", p.reference)
        .add("s", bond.s);
    return fields;
}

}  // namespace

std::string resultJson(const CalculationResult& result, const RunDescription& run) {
    const Settings& settings = result.settings;
    const CrystalStructure& structure = result.structure;
    ordered_json document;
    document["format_version"] = JsonFormatVersion;
    document["program"] = {{"name", "Tarnell"}, {"version", run.programVersion}};
    document["input"] = {{"path", run.inputPath}, {"format", run.inputFormat}};
    document["settings"] = {{"bv_b", settings.bvB},   {"entry_num", settings.entryNum},
                            {"d_max", settings.dMax}, {"d_min", settings.dMin},
                            {"h_max", settings.hMax}, {"h_min", settings.hMin},
                            {"table", result.table}};
    // The sites' own limits where a file sets them apart from D-max.
    ordered_json ownLimits = ordered_json::object();
    for (const Site& site : structure.sites) {
        if (site.dLimit > 0.0 && site.dLimit != settings.dMax) ownLimits[site.name] = site.dLimit;
    }
    document["settings"]["d_max_of_sites"] = std::move(ownLimits);
    document["status"] = result.status.ok() ? "ok" : "failed";
    const std::string message = result.status.text(Program::Engine);
    document["message"] =
        result.status.ok()
            ? ordered_json(nullptr)
            : ordered_json(trimBlanks(message.substr(0, message.find_last_not_of('\n') + 1)));
    if (!result.read()) return document.dump(1, ' ', false, ordered_json::error_handler_t::replace);

    // What the reader left out or changed, as the report's first lines give it.
    ordered_json warnings = ordered_json::array();
    for (const Message& note : structure.notes) {
        const std::string text = messageText(note, Program::Engine);
        warnings.push_back(trimBlanks(text.substr(0, text.find_last_not_of('\n') + 1)));
    }
    document["warnings"] = std::move(warnings);
    document["title"] = structure.title;
    const auto& c = structure.cell;
    const auto& sc = structure.cellSigma;
    document["cell"] = {{"a", c[0]},
                        {"b", c[1]},
                        {"c", c[2]},
                        {"alpha", c[3]},
                        {"beta", c[4]},
                        {"gamma", c[5]},
                        {"sigma",
                         {{"a", sc[0]},
                          {"b", sc[1]},
                          {"c", sc[2]},
                          {"alpha", sc[3]},
                          {"beta", sc[4]},
                          {"gamma", sc[5]}}}};
    document["space_group"] = {{"number", structure.sgNumber},
                               {"setting", structure.sgSetting},
                               {"symbol", structure.sgName},
                               {"operator_count", result.operatorTexts.size()},
                               {"operators", result.operatorTexts}};
    ordered_json sites = ordered_json::array();
    for (const Site& site : structure.sites) {
        sites.push_back({{"label", site.name},
                         {"element", site.element},
                         {"occupancy", site.g},
                         {"charge", site.charge},
                         {"valence", formalValence(site)},
                         {"xyz", triple(site.x, site.y, site.z)},
                         {"sigma_xyz", triple(site.sx, site.sy, site.sz)},
                         {"d_limit", site.dLimit}});
    }
    document["sites"] = std::move(sites);

    // The summary's bond of each bond of the list, where the summary has its centre.
    std::vector<const SummaryBond*> summaryOf(result.bonds.size(), nullptr);
    for (const SiteSummary& site : result.summary.sites) {
        for (const SummaryBond& bond : site.bonds)
            summaryOf[static_cast<std::size_t>(bond.bond)] = &bond;
    }
    std::vector<const SiteSums*> sumsOf(structure.sites.size(), nullptr);
    for (const SiteSums& site : result.sums) sumsOf[static_cast<std::size_t>(site.site)] = &site;
    ordered_json distances = ordered_json::array();
    for (std::size_t n = 0; n < result.bonds.size(); ++n) {
        const Bond& bond = result.bonds[n];
        if (bond.number == 0) continue;
        ordered_json alternatives = ordered_json::array();
        if (const SiteSums* site = sumsOf[static_cast<std::size_t>(bond.centre)]) {
            for (const AlternativeSum& sum : site->alternatives) {
                const std::size_t k = alternativeIndex(bond, sum.number);
                alternatives.push_back(parameterJson(bond.alternatives[k], bond.s[k])
                                           .add("alternative", sum.number)
                                           .take());
            }
        }
        const auto& at = bond.position;
        distances.push_back(
            Fields()
                .add("number", bond.number)
                .add("centre", structure.sites[static_cast<std::size_t>(bond.centre)].name)
                .add("neighbour", structure.sites[static_cast<std::size_t>(bond.neighbour)].name)
                .add("code", trimBlanks(symmetryCode(bond.image)))
                .add("xyz", triple(at[0], at[1], at[2]))
                .add("d", bond.d)
                .add("sigma_d", bond.sigma)
                .add("alternatives", std::move(alternatives))
                .add("summary",
                     summaryOf[n] ? summaryBondJson(*summaryOf[n]).take() : ordered_json(nullptr))
                .take());
    }
    document["distances"] = std::move(distances);

    ordered_json sums = ordered_json::array();
    for (const SiteSums& site : result.sums) {
        if (site.bonds.empty()) continue;
        ordered_json alternatives = ordered_json::array();
        for (const AlternativeSum& sum : site.alternatives) {
            alternatives.push_back(
                {{"number", sum.number}, {"bvs", sum.bvs}, {"sigma", sum.sigma}});
        }
        sums.push_back({{"site", structure.sites[static_cast<std::size_t>(site.site)].name},
                        {"cn", site.coordination},
                        {"alternatives", std::move(alternatives)}});
    }
    document["sums"] = std::move(sums);
    document["references"] = result.references;

    if (result.summarised()) {
        ordered_json summarySites = ordered_json::array();
        for (const SiteSummary& site : result.summary.sites) {
            ordered_json bonds = ordered_json::array();
            for (const SummaryBond& used : site.bonds) {
                const Bond& bond = result.bonds[static_cast<std::size_t>(used.bond)];
                bonds.push_back(
                    summaryBondJson(used)
                        .add("neighbour",
                             structure.sites[static_cast<std::size_t>(bond.neighbour)].name)
                        .add("code", trimBlanks(symmetryCode(bond.image)))
                        .add("d", bond.d)
                        .add("sigma_d", bond.sigma)
                        .add("sigma_s", used.sigmaS)
                        .add("first_shell", used.firstShell)
                        .take());
            }
            const bool summed = site.missing.empty();
            summarySites.push_back(
                {{"site", structure.sites[static_cast<std::size_t>(site.site)].name},
                 {"valence", site.valence},
                 {"valence_source", valenceSource(result, site.site, run)},
                 {"multiplicity", site.multiplicity},
                 {"bvs", summed ? ordered_json(site.bvs) : ordered_json(nullptr)},
                 {"sigma", summed ? ordered_json(site.sigma) : ordered_json(nullptr)},
                 {"cn", site.coordination},
                 {"cn_first_shell", site.firstShell},
                 {"delta_v", summed ? ordered_json(site.deviation) : ordered_json(nullptr)},
                 {"delta_v_relative", summed ? ordered_json(site.relative) : ordered_json(nullptr)},
                 {"mark", site.mark},
                 {"references", site.references},
                 {"missing_parameters",
                  summed ? ordered_json(nullptr) : ordered_json(site.missing)},
                 {"bonds", std::move(bonds)}});
        }
        // Without a summary (no valences, or valences of one sign) there is no index: null,
        // so that a script over many files does not take it for a perfect 0.
        // Nor where no site has parameters for all its bonds: an index over no ion.
        const bool indexed = hasIndex(result.summary);
        document["valence_summary"] = {
            {"sites", std::move(summarySites)},
            {"gii", indexed ? ordered_json(result.summary.gii) : ordered_json(nullptr)},
            {"ions_in_cell",
             indexed ? ordered_json(result.summary.ionsInCell) : ordered_json(nullptr)},
            {"ions_with_valence", result.summary.ionsWithValence},
            {"gii_doubtful", result.overfilled},
            {"cation_valences", result.summary.cationValences},
            {"anion_valences", result.summary.anionValences},
            {"valences", valencesOrigin(result.summary, result.assignment)},
            {"valences_unassigned", result.assignment.outcome == AssignmentOutcome::Failed
                                        ? ordered_json(result.assignment.reason)
                                        : ordered_json(nullptr)}};
        if (result.check.outcome != AssignmentOutcome::NotNeeded)
            document["valence_check"] = checkJson(result);
    } else {
        document["valence_summary"] = nullptr;
    }
    return document.dump(1, ' ', false, ordered_json::error_handler_t::replace);
}

}  // namespace tarnell
