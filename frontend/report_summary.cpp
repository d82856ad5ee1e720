#include "frontend/report_summary.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "settings/text.h"

namespace tarnell {
namespace {

constexpr const char* SumsHeading = "  Bond valence sum:";
constexpr const char* ErrorStart = "  Error !!!";
constexpr const char* NoteStart = "  Note !!!";
constexpr const char* SummaryHeading = "  Valence summary:";
constexpr const char* SummaryColumns = "  Site ";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

ReportSummary parseValenceSummary(const std::string& report) {
    ReportSummary summary;
    const std::vector<std::string> lines = linesOf(report);
    std::size_t n = 0;
    while (n < lines.size() && lines[n] != SummaryHeading) ++n;
    while (n < lines.size() && !lines[n].starts_with(SummaryColumns)) ++n;
    // One row a site: label, V, BVS, sigma, CN, dV, dV/V in %, references, and a mark; a site
    // without parameters for one of its bonds has no sum and so no row.
    for (++n; n < lines.size() && !trimBlanks(lines[n]).empty(); ++n) {
        std::istringstream fields(lines[n]);
        SummaryRow row;
        std::string references;
        if (!(fields >> row.site >> row.valence >> row.bvs >> row.sigma >> row.cn >> row.dV >>
              row.dVPercent >> references)) {
            continue;
        }
        fields >> row.markText;
        if (!row.markText.empty()) {
            row.mark = row.dVPercent > 0 ? BondingMark::Over : BondingMark::Under;
        }
        summary.rows.push_back(std::move(row));
    }
    for (; n < lines.size(); ++n) {
        double gii = 0.0;
        if (std::sscanf(lines[n].c_str(), "  GII = %lf", &gii) == 1) {
            summary.gii = gii;
            break;
        }
    }
    return summary;
}

std::optional<std::string> reportFailure(const std::string& report) {
    const std::vector<std::string> lines = linesOf(report);
    std::vector<std::string> filled;
    for (const std::string& line : lines) {
        if (!trimBlanks(line).empty()) filled.push_back(line);
    }
    if (filled.empty()) return std::string("The report is empty.");
    if (filled.front().starts_with(ErrorStart)) return trimBlanks(filled.front());
    bool sums = false;
    for (const std::string& line : filled) sums = sums || line == SumsHeading;
    // A run that stopped before the sums writes only its message, in whichever wording, after
    // the reader's notes.
    if (!sums) {
        const auto message = std::find_if(filled.begin(), filled.end(), [](const std::string& l) {
            return !l.starts_with(NoteStart);
        });
        return trimBlanks(message != filled.end() ? *message : filled.front());
    }
    if (filled.back().starts_with(ErrorStart)) return trimBlanks(filled.back());
    return std::nullopt;
}

std::string summaryCsv(const ReportSummary& summary) {
    std::string csv = "site,V,BVS,sigma,CN,dV,dV/V (%),mark\n";
    for (const SummaryRow& row : summary.rows) {
        csv += csvField(row.site) + ',' +
               formatText("%.4f,%.4f,%.4f,%d,%.4f,%.2f,", row.valence, row.bvs, row.sigma, row.cn,
                          row.dV, row.dVPercent) +
               csvField(row.markText) + '\n';
    }
    if (summary.gii) csv += formatText("GII,%.4f\n", *summary.gii);
    return csv;
}

}  // namespace tarnell
