#include "frontend/engine_result.h"

#include <nlohmann/json.hpp>

#include "settings/text.h"

namespace tarnell {
namespace {

using nlohmann::json;

// A member read where it is there and of its kind; anything else leaves the field as it was, so
// that an engine older or newer than Kestrin still gives what both know.
template <typename T>
void take(const json& object, const char* key, T& field) {
    if (!object.is_object()) return;
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return;
    if constexpr (std::is_same_v<T, std::string>) {
        if (found->is_string()) field = found->get<std::string>();
    } else if constexpr (std::is_same_v<T, bool>) {
        if (found->is_boolean()) field = found->get<bool>();
    } else if constexpr (std::is_arithmetic_v<T>) {
        if (found->is_number()) field = found->get<T>();
    }
}

template <typename T>
void take(const json& object, const char* key, std::optional<T>& field) {
    T value{};
    if (!object.is_object() || !object.contains(key) || object[key].is_null()) return;
    const json& member = object[key];
    if constexpr (std::is_same_v<T, std::string>) {
        if (!member.is_string()) return;
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!member.is_boolean()) return;
    } else {
        if (!member.is_number()) return;
    }
    take(object, key, value);
    field = value;
}

void takeTriple(const json& object, const char* key, Fractional& field) {
    if (!object.is_object() || !object.contains(key)) return;
    const json& values = object[key];
    if (!values.is_array() || values.size() != 3) return;
    for (std::size_t i = 0; i < 3; ++i) {
        if (values[i].is_number()) field[i] = values[i].get<double>();
    }
}

std::vector<std::string> texts(const json& object, const char* key) {
    std::vector<std::string> list;
    if (!object.is_object() || !object.contains(key) || !object[key].is_array()) return list;
    for (const json& item : object[key]) {
        if (item.is_string()) list.push_back(item.get<std::string>());
    }
    return list;
}

const json& member(const json& object, const char* key) {
    static const json none;
    if (!object.is_object()) return none;
    const auto found = object.find(key);
    return found == object.end() ? none : *found;
}

void readSummary(const json& summary, EngineResult& result) {
    result.summaryMade = summary.is_object();
    if (!result.summaryMade) return;
    for (const json& item : member(summary, "sites")) {
        ResultSummarySite site;
        take(item, "site", site.site);
        take(item, "valence", site.valence);
        take(item, "multiplicity", site.multiplicity);
        take(item, "bvs", site.bvs);
        take(item, "sigma", site.sigma);
        take(item, "cn", site.cn);
        take(item, "delta_v", site.deltaV);
        take(item, "delta_v_relative", site.relative);
        take(item, "mark", site.mark);
        site.references = texts(item, "references");
        take(item, "missing_parameters", site.missingParameters);
        take(item, "sigma_s", site.sigmaS);
        take(item, "cn_first_shell", site.cnFirstShell);
        take(item, "valence_source", site.valenceSource);
        for (const json& entry : member(item, "bonds")) {
            ResultBond bond;
            take(entry, "neighbour", bond.neighbour);
            take(entry, "d", bond.d);
            take(entry, "s", bond.s);
            take(entry, "code", bond.code);
            take(entry, "sigma_d", bond.sigmaD);
            take(entry, "sigma_s", bond.sigmaS);
            take(entry, "r0", bond.r0);
            take(entry, "b", bond.b);
            take(entry, "reference", bond.reference);
            take(entry, "first_shell", bond.firstShell);
            site.bonds.push_back(std::move(bond));
        }
        result.summary.push_back(std::move(site));
    }
    take(summary, "gii", result.gii);
    take(summary, "ions_in_cell", result.ionsInCell);
    take(summary, "ions_with_valence", result.ionsWithValence);
    take(summary, "gii_doubtful", result.giiDoubtful);
    take(summary, "cation_valences", result.cationValences);
    take(summary, "anion_valences", result.anionValences);
    take(summary, "valences_unassigned", result.valencesUnassigned);
    for (const json& note : member(member(summary, "assignment_balance"), "notes")) {
        if (note.is_string()) result.assignmentNotes.push_back(note.get<std::string>());
    }
}

}  // namespace

int EngineResult::siteIndex(const std::string& label) const {
    for (std::size_t i = 0; i < sites.size(); ++i) {
        if (sites[i].label == label) return static_cast<int>(i);
    }
    return -1;
}

const ResultSummarySite* EngineResult::summaryOf(const std::string& label) const {
    for (const ResultSummarySite& site : summary) {
        if (site.site == label) return &site;
    }
    return nullptr;
}

bool parseEngineResult(const std::string& text, EngineResult& result, std::string& error) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("status")) {
        error = "The engine's JSON output cannot be read.";
        return false;
    }
    EngineResult read;
    std::string status;
    take(document, "status", status);
    read.ok = status == "ok";
    take(document, "message", read.message);
    if (!read.ok && read.message.empty()) read.message = "The engine reports a failure.";

    const json& settings = member(document, "settings");
    take(settings, "d_max", read.dMax);
    take(settings, "d_min", read.dMin);
    take(settings, "bv_b", read.bvB);
    take(settings, "table", read.table);
    take(settings, "h_min", read.hMin);
    take(settings, "h_max", read.hMax);
    take(member(document, "program"), "version", read.programVersion);
    take(member(document, "input"), "path", read.inputPath);
    take(member(document, "input"), "format", read.inputFormat);
    read.warnings = texts(document, "warnings");

    read.structureRead = document.contains("title");
    take(document, "title", read.title);
    const json& cell = member(document, "cell");
    const char* cellKeys[] = {"a", "b", "c", "alpha", "beta", "gamma"};
    for (std::size_t i = 0; i < 6; ++i) take(cell, cellKeys[i], read.cell[i]);
    const json& group = member(document, "space_group");
    take(group, "number", read.sgNumber);
    take(group, "symbol", read.sgSymbol);
    read.operators = texts(group, "operators");

    for (const json& item : member(document, "sites")) {
        ResultSite site;
        take(item, "label", site.label);
        take(item, "element", site.element);
        take(item, "occupancy", site.occupancy);
        take(item, "charge", site.charge);
        take(item, "valence", site.valence);
        takeTriple(item, "xyz", site.xyz);
        take(item, "d_limit", site.dLimit);
        read.sites.push_back(std::move(site));
    }
    for (const json& item : member(document, "distances")) {
        ResultDistance distance;
        take(item, "centre", distance.centre);
        take(item, "neighbour", distance.neighbour);
        take(item, "code", distance.code);
        takeTriple(item, "xyz", distance.xyz);
        take(item, "d", distance.d);
        double s = 0.0;
        const json& inSummary = member(item, "summary");
        if (inSummary.is_object()) {
            take(inSummary, "s", s);
            distance.s = s;
        }
        read.distances.push_back(std::move(distance));
    }
    readSummary(member(document, "valence_summary"), read);
    result = std::move(read);
    return true;
}

std::string conditionsText(const EngineResult& result) {
    std::string text;
    if (!result.programVersion.empty()) text += "Tarnell " + result.programVersion;
    if (!result.inputPath.empty()) {
        const std::size_t slash = result.inputPath.find_last_of("/\\");
        text += (text.empty() ? "" : ", ") +
                result.inputPath.substr(slash == std::string::npos ? 0 : slash + 1);
        if (!result.inputFormat.empty()) text += " (" + result.inputFormat + ")";
    }
    if (result.table) text += (text.empty() ? "Table " : "; table ") + *result.table;
    if (!text.empty()) text += '\n';
    text += formatText("BV-B %.3f, D-min %.3f, D-max %.3f", result.bvB, result.dMin, result.dMax);
    if (result.hMin && result.hMax)
        text += formatText(", H-min %d, H-max %d", *result.hMin, *result.hMax);
    return text;
}

bool hasGii(const EngineResult& result) {
    return result.gii && result.ionsInCell && *result.ionsInCell > 0.0;
}

std::string whyNoGii(const EngineResult& result) {
    if (hasGii(result) || !result.ok) return {};
    if (!result.summaryMade) return "No GII: the sums could not be compared with the valences.";
    if (result.valencesUnassigned)
        return "No GII: no valences assigned by bond valence: " + *result.valencesUnassigned + ".";
    if (result.summary.empty()) {
        return "No GII: the summary needs formal valences of both signs (cations and anions).";
    }
    return "No GII: no site has bond valence parameters for all its bonds.";
}

std::string summaryTable(const EngineResult& result, char separator) {
    const std::string sep(1, separator);
    auto field = [separator](const std::string& text) {
        if (separator == ',') return csvField(text);
        if (text.find_first_of("\t\"\r\n") == std::string::npos) return text;
        std::string quoted = "\"";
        for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    };
    // The first-shell CN and where V comes from (file, form or assigned) follow the columns that
    // earlier tables had, so that a reader of those still finds each where it was.
    std::string table = "site" + sep + "V" + sep + "BVS" + sep + "sigma" + sep + "CN" + sep + "dV" +
                        sep + "dV/V (%)" + sep + "mark" + sep + "CN1" + sep + "V from\n";
    for (const ResultSummarySite& site : result.summary) {
        const std::string added = sep +
                                  (site.cnFirstShell ? std::to_string(*site.cnFirstShell) : "") +
                                  sep + field(site.valenceSource.value_or("")) + '\n';
        table += field(site.site) + sep + formatText("%.4f", site.valence) + sep;
        if (site.bvs && site.sigma && site.deltaV && site.relative) {
            table += formatText("%.4f", *site.bvs) + sep + formatText("%.4f", *site.sigma) + sep +
                     std::to_string(site.cn) + sep + formatText("%.4f", *site.deltaV) + sep +
                     formatText("%.2f", 100.0 * *site.relative) + sep + field(site.mark) + added;
        } else {
            table += sep + sep + std::to_string(site.cn) + sep + sep +
                     field("no parameters for " + site.missingParameters.value_or("?")) + sep +
                     added;
        }
    }
    if (hasGii(result)) table += "GII" + sep + formatText("%.4f", *result.gii) + '\n';
    return table;
}

}  // namespace tarnell
