// What one run of the engine gave, as Kestrin reads it from the engine's JSON output: how it
// ended, the structure it read, the bonds it found and the valence summary. The results window,
// the structure view and the ΔV plot all read this one value; the report is only shown.
// Fields that newer engines add are optional here: absent, they are not shown.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarnell {

using Fractional = std::array<double, 3>;

// A site as the engine read it.
struct ResultSite {
    std::string label;
    std::string element;
    double occupancy = 1.0;
    double charge = 0.0;
    double valence = 0.0;  // formal valence V
    Fractional xyz{};
    double dLimit = 0.0;
};

// One entry of the distance list: the neighbour's image at `xyz` around the site `centre`.
struct ResultDistance {
    std::string centre;
    std::string neighbour;
    std::string code;
    Fractional xyz{};
    double d = 0.0;
    std::optional<double> s;  // the bond valence, when the valence summary holds this bond
};

// A bond of the valence summary.
struct ResultBond {
    std::string neighbour;
    double d = 0.0;
    double s = 0.0;
    std::string code;  // the neighbour's symmetry code, where the engine gives it
    // Where the engine gives them: the uncertainties, the table line used and whether the bond
    // belongs to the site's first coordination shell.
    std::optional<double> sigmaD, sigmaS, r0, b;
    std::string reference;
    std::optional<bool> firstShell;
};

// One site of the valence summary. `bvs`, `sigma`, `deltaV` and `relative` are absent when the
// site lacks parameters for one of its bonds, and `missingParameters` says for which pair.
struct ResultSummarySite {
    std::string site;
    double valence = 0.0;
    double multiplicity = 0.0;
    std::optional<double> bvs, sigma, deltaV, relative;  // relative: ΔV/V as a fraction
    int cn = 0;
    std::string mark;  // "", "*" or "**"
    std::vector<std::string> references;
    std::optional<std::string> missingParameters;
    std::vector<ResultBond> bonds;
    std::optional<double> sigmaS;
    std::optional<int> cnFirstShell;
    std::optional<std::string> valenceSource;
};

struct EngineResult {
    bool ok = false;
    std::string message;  // the failure, in the engine's words; empty when the run went through
    bool structureRead = false;

    double dMax = 0.0, dMin = 0.0, bvB = 0.0;
    std::optional<std::string> table;  // the parameter table the run used
    std::optional<int> hMin, hMax;
    std::string programVersion;
    std::string inputPath, inputFormat;

    std::string title;
    std::array<double, 6> cell{};  // a, b, c (Å), alpha, beta, gamma (°)
    int sgNumber = 0;
    std::string sgSymbol;
    std::vector<std::string> operators;  // x,y,z texts, the first the identity
    std::vector<ResultSite> sites;
    std::vector<ResultDistance> distances;

    bool summaryMade = false;  // false when the sums failed
    std::vector<ResultSummarySite> summary;
    std::optional<double> gii;              // absent when the summary gives no index
    std::optional<double> ionsInCell;       // the ions the index is taken over
    std::optional<double> ionsWithValence;  // all ions of the summary, where the engine gives it
    bool giiDoubtful = false;               // sites overfill a position
    double cationValences = 0.0, anionValences = 0.0;
    // Why the engine could assign no valences, where it had to and could not.
    std::optional<std::string> valencesUnassigned;
    // How an assignment balanced the cell where whole-number states alone did not, a sentence
    // each, in the engine's words.
    std::vector<std::string> assignmentNotes;
    std::vector<std::string> warnings;

    // The index of the site labelled `label`, or -1.
    int siteIndex(const std::string& label) const;
    // The summary row of the site labelled `label`, or nullptr.
    const ResultSummarySite* summaryOf(const std::string& label) const;
};

// Reads the engine's JSON; false, with `error` saying why, for a text that is no such document.
bool parseEngineResult(const std::string& json, EngineResult& result, std::string& error);

// Whether the summary gives a global instability index to show: one taken over at least one ion.
bool hasGii(const EngineResult& result);
// Why a finished run shows no index, in a line for the user; empty when it shows one.
std::string whyNoGii(const EngineResult& result);
// The conditions of the run (program, input, table and settings) in one or two lines, as far as
// the engine gives them.
std::string conditionsText(const EngineResult& result);

// The summary as a table for spreadsheets: a header line, then one line per site of the summary
// (a site without parameters says so in its ΔV/V column), and the GII; fields separated by
// `separator`, and quoted where they hold it, a quote or a line break.
std::string summaryTable(const EngineResult& result, char separator);

}  // namespace tarnell
