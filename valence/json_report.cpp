#include "valence/json_report.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "search/neighbour_search.h"
#include "settings/text.h"
#include "valence/json_writer.h"

namespace tarnell {
namespace {

using nlohmann::ordered_json;

void writeTriple(DocumentWriter& out, double x, double y, double z) {
    out.beginArray();
    out.value(x);
    out.value(y);
    out.value(z);
    out.endArray();
}

// The fields of a parameter alternative; the caller closes the object.
void writeParameter(DocumentWriter& out, const BondParameter& p, double s) {
    out.beginObject();
    out.field("cation", p.cationKey)
        .field("anion", p.anionKey)
        .field("r0", p.r0)
        .field("reference", p.reference)
        .field("s", s);
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

// The fields of a bond of the summary; the caller closes the object.
void writeSummaryBond(DocumentWriter& out, const SummaryBond& bond) {
    const ParameterLine& p = bond.parameter;
    out.beginObject();
    out.field("cation", cationKey(p))
        .field("anion", anionKey(p))
        .field("r0", p.r0)
        .field("b", bond.b)
        .field("reference", p.reference)
        .field("s", bond.s);
}

}  // namespace

void writeResult(DocumentWriter& out, const CalculationResult& result, const RunDescription& run) {
    const Settings& settings = result.settings;
    const CrystalStructure& structure = result.structure;
    out.beginObject();
    out.field("format_version", JsonFormatVersion);
    out.field("program", ordered_json{{"name", "Tarnell"}, {"version", run.programVersion}});
    out.field("input", ordered_json{{"path", run.inputPath}, {"format", run.inputFormat}});
    ordered_json settingsJson = {{"bv_b", settings.bvB},   {"entry_num", settings.entryNum},
                                 {"d_max", settings.dMax}, {"d_min", settings.dMin},
                                 {"h_max", settings.hMax}, {"h_min", settings.hMin},
                                 {"table", result.table}};
    // The sites' own limits where a file sets them apart from D-max.
    ordered_json ownLimits = ordered_json::object();
    for (const Site& site : structure.sites) {
        if (site.dLimit > 0.0 && site.dLimit != settings.dMax) ownLimits[site.name] = site.dLimit;
    }
    settingsJson["d_max_of_sites"] = std::move(ownLimits);
    out.field("settings", settingsJson);
    out.field("status", result.status.ok() ? "ok" : "failed");
    const std::string message = result.status.text(Program::Engine);
    if (result.status.ok())
        out.field("message", nullptr);
    else
        out.field("message", trimBlanks(message.substr(0, message.find_last_not_of('\n') + 1)));
    if (!result.read()) {
        out.endObject();
        return;
    }

    // What the reader left out or changed, as the report's first lines give it.
    out.key("warnings").beginArray();
    for (const Message& note : structure.notes) {
        const std::string noteText = messageText(note, Program::Engine);
        out.value(trimBlanks(noteText.substr(0, noteText.find_last_not_of('\n') + 1)));
    }
    out.endArray();
    out.field("title", structure.title);
    const auto& c = structure.cell;
    const auto& sc = structure.cellSigma;
    out.field("cell", ordered_json{{"a", c[0]},
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
                                     {"gamma", sc[5]}}}});
    out.field("space_group", ordered_json{{"number", structure.sgNumber},
                                          {"setting", structure.sgSetting},
                                          {"symbol", structure.sgName},
                                          {"operator_count", result.operatorTexts.size()},
                                          {"operators", result.operatorTexts}});
    out.key("sites").beginArray();
    for (const Site& site : structure.sites) {
        out.beginObject();
        out.field("label", site.name)
            .field("element", site.element)
            .field("occupancy", site.g)
            .field("charge", site.charge)
            .field("valence", formalValence(site));
        writeTriple(out.key("xyz"), site.x, site.y, site.z);
        writeTriple(out.key("sigma_xyz"), site.sx, site.sy, site.sz);
        out.field("d_limit", site.dLimit);
        out.endObject();
    }
    out.endArray();

    // The summary's bond of each bond of the list, where the summary has its centre.
    std::vector<const SummaryBond*> summaryOf(result.bonds.size(), nullptr);
    for (const SiteSummary& site : result.summary.sites) {
        for (const SummaryBond& bond : site.bonds)
            summaryOf[static_cast<std::size_t>(bond.bond)] = &bond;
    }
    std::vector<const SiteSums*> sumsOf(structure.sites.size(), nullptr);
    for (const SiteSums& site : result.sums) sumsOf[static_cast<std::size_t>(site.site)] = &site;
    out.key("distances").beginArray();
    for (std::size_t n = 0; n < result.bonds.size(); ++n) {
        const Bond& bond = result.bonds[n];
        if (bond.number == 0) continue;
        const auto& at = bond.position;
        out.beginObject();
        out.field("number", bond.number)
            .field("centre", structure.sites[static_cast<std::size_t>(bond.centre)].name)
            .field("neighbour", structure.sites[static_cast<std::size_t>(bond.neighbour)].name)
            .field("code", trimBlanks(symmetryCode(bond.image)));
        writeTriple(out.key("xyz"), at[0], at[1], at[2]);
        out.field("d", bond.d).field("sigma_d", bond.sigma);
        out.key("alternatives").beginArray();
        if (const SiteSums* site = sumsOf[static_cast<std::size_t>(bond.centre)]) {
            for (const AlternativeSum& sum : site->alternatives) {
                const std::size_t k = alternativeIndex(bond, sum.number);
                writeParameter(out, bond.alternatives[k], bond.s[k]);
                out.field("alternative", sum.number);
                out.endObject();
            }
        }
        out.endArray();
        out.key("summary");
        if (summaryOf[n]) {
            writeSummaryBond(out, *summaryOf[n]);
            out.endObject();
        } else {
            out.value(nullptr);
        }
        out.endObject();
    }
    out.endArray();

    out.key("sums").beginArray();
    for (const SiteSums& site : result.sums) {
        if (site.bonds.empty()) continue;
        out.beginObject();
        out.field("site", structure.sites[static_cast<std::size_t>(site.site)].name)
            .field("cn", site.coordination);
        out.key("alternatives").beginArray();
        for (const AlternativeSum& sum : site.alternatives) {
            out.beginObject();
            out.field("number", sum.number).field("bvs", sum.bvs).field("sigma", sum.sigma);
            out.endObject();
        }
        out.endArray();
        out.endObject();
    }
    out.endArray();
    out.field("references", ordered_json(result.references));

    out.key("valence_summary");
    if (!result.summarised()) {
        out.value(nullptr);
        out.endObject();
        return;
    }
    out.beginObject();
    out.key("sites").beginArray();
    for (const SiteSummary& site : result.summary.sites) {
        const bool summed = site.missing.empty();
        const auto orNull = [&](const char* name, double value) {
            if (summed)
                out.field(name, value);
            else
                out.field(name, nullptr);
        };
        out.beginObject();
        out.field("site", structure.sites[static_cast<std::size_t>(site.site)].name)
            .field("valence", site.valence)
            .field("valence_source", valenceSource(result, site.site, run))
            .field("multiplicity", site.multiplicity);
        orNull("bvs", site.bvs);
        orNull("sigma", site.sigma);
        out.field("cn", site.coordination).field("cn_first_shell", site.firstShell);
        orNull("delta_v", site.deviation);
        orNull("delta_v_relative", site.relative);
        out.field("mark", site.mark).field("references", ordered_json(site.references));
        if (summed)
            out.field("missing_parameters", nullptr);
        else
            out.field("missing_parameters", site.missing);
        out.key("bonds").beginArray();
        for (const SummaryBond& used : site.bonds) {
            const Bond& bond = result.bonds[static_cast<std::size_t>(used.bond)];
            writeSummaryBond(out, used);
            out.field("neighbour", structure.sites[static_cast<std::size_t>(bond.neighbour)].name)
                .field("code", trimBlanks(symmetryCode(bond.image)))
                .field("d", bond.d)
                .field("sigma_d", bond.sigma)
                .field("sigma_s", used.sigmaS)
                .field("first_shell", used.firstShell);
            out.endObject();
        }
        out.endArray();
        out.endObject();
    }
    out.endArray();
    // Without a summary (no valences, or valences of one sign) there is no index: null,
    // so that a script over many files does not take it for a perfect 0.
    // Nor where no site has parameters for all its bonds: an index over no ion.
    const bool indexed = hasIndex(result.summary);
    out.field("gii", indexed ? ordered_json(result.summary.gii) : ordered_json(nullptr))
        .field("ions_in_cell",
               indexed ? ordered_json(result.summary.ionsInCell) : ordered_json(nullptr))
        .field("ions_with_valence", result.summary.ionsWithValence)
        .field("gii_doubtful", result.overfilled)
        .field("cation_valences", result.summary.cationValences)
        .field("anion_valences", result.summary.anionValences)
        .field("valences", valencesOrigin(result.summary, result.assignment))
        .field("valences_unassigned", result.assignment.outcome == AssignmentOutcome::Failed
                                          ? ordered_json(result.assignment.reason)
                                          : ordered_json(nullptr));
    // How the assignment balanced the cell, where it did not do so with whole-number states
    // alone: protons the formula counts outside the sums, protons that may be missing, the
    // charge the file's occupancies leave, or one element's average valence.
    const ValenceAssignment& a = result.assignment;
    if (a.outcome == AssignmentOutcome::Assigned &&
        (a.hiddenProtons > 0.0 || a.protonsMissing || a.chargeLeft ||
         !a.averagedGroupSites.empty())) {
        ordered_json balance;
        balance["charge_left"] = a.charge;
        balance["protons_counted"] =
            a.hiddenProtons > 0.0 ? ordered_json(a.hiddenProtons) : ordered_json(nullptr);
        balance["protons_may_be_missing"] = a.protonsMissing;
        balance["average_of"] =
            a.averagedGroupSites.empty()
                ? ordered_json(nullptr)
                : ordered_json(
                      result.structure.sites[static_cast<std::size_t>(a.averagedGroupSites[0])]
                          .element);
        balance["average"] =
            a.averagedGroupSites.empty() ? ordered_json(nullptr) : ordered_json(a.average);
        balance["notes"] = balanceLines(result.structure, a);
        out.field("assignment_balance", balance);
    }
    out.endObject();
    if (result.check.outcome != AssignmentOutcome::NotNeeded)
        out.field("valence_check", checkJson(result));
    out.endObject();
}

std::string resultJson(const CalculationResult& result, const RunDescription& run) {
    std::string text;
    JsonWriter out(text);
    writeResult(out, result, run);
    return text;
}

}  // namespace tarnell
