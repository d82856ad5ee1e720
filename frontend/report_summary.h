// What the results window reads from a report: whether the run failed, and the valence summary
// of its sites when the report has one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnell {

// Whether a site is over- or under-bonded, as the report marks it.
enum class BondingMark { None, Over, Under };

// One site of the valence summary.
struct SummaryRow {
    std::string site;
    double valence = 0.0;    // V, the formal valence
    double bvs = 0.0;        // bond valence sum
    double sigma = 0.0;      // its uncertainty
    int cn = 0;              // coordination number
    double dV = 0.0;         // BVS - V
    double dVPercent = 0.0;  // dV / V, in %
    std::string markText;    // the mark as the report prints it, empty for none
    BondingMark mark = BondingMark::None;
};

struct ReportSummary {
    std::vector<SummaryRow> rows;
    std::optional<double> gii;  // the global instability index, when the report gives one
};

// The report's valence summary; empty rows when the report has none.
ReportSummary parseValenceSummary(const std::string& report);

// The failure that a report records, in the report's own words, or nothing for a report of a
// run that went through: a report that opens with an error line, that has no bond valence
// sums, or whose last line is an error that struck after the sums had begun.
std::optional<std::string> reportFailure(const std::string& report);

// The summary as CSV: a header line, then one line per site; fields that hold a comma, a quote
// or a line break are quoted.
std::string summaryCsv(const ReportSummary& summary);

}  // namespace tarnell
