#include "valence/report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "search/neighbour_search.h"
#include "settings/text.h"

namespace tarnell {
namespace {

std::string notesText(const CrystalStructure& structure) {
    std::string out;
    for (const Message& note : structure.notes) out += messageText(note, Program::Engine);
    if (!structure.notes.empty()) out += '\n';
    return out;
}

// The crystal data, the symmetry operators and the distance list, with the empty line after it.
std::string listText(const CalculationResult& result) {
    const CrystalStructure& structure = result.structure;
    std::string out;
    const auto& c = structure.cell;
    const auto& s = structure.cellSigma;
    constexpr const char* CellFormat = "  %10.6lf %10.6lf %10.6lf %10.6lf %10.6lf %10.6lf\n";
    // What the reader left out or changed stands first, so that no one misses it.
    out += notesText(structure);
    out += formatText("  Title      : %s\n", structure.title.c_str());
    out += formatText("  SG Name    : %10s\n", structure.sgName.c_str());
    out += formatText("  SG No.     : %d\n", structure.sgNumber);
    out += formatText("  SG Set No. : %d\n", structure.sgSetting);
    out += "\n  Crystal data\n\n  Lattice parameters:\n";
    out += formatText(CellFormat, c[0], c[1], c[2], c[3], c[4], c[5]);
    out += formatText(CellFormat, s[0], s[1], s[2], s[3], s[4], s[5]);
    out += "\n  Atom      charge      x           y           z\n";
    for (const Site& site : structure.sites) {
        out += formatText("  %-4s   % 10.6lf  % 10.6lf  % 10.6lf  % 10.6lf\n", site.name.c_str(),
                          site.charge, site.x, site.y, site.z);
        out += formatText("                     % 10.6lf  % 10.6lf  % 10.6lf\n", site.sx, site.sy,
                          site.sz);
    }
    out += "\n  Symmetry code:\n";
    for (std::size_t k = 0; k < result.operatorTexts.size(); ++k) {
        out += formatText("  %3d   %s\n", static_cast<int>(k + 1), result.operatorTexts[k].c_str());
    }
    out +=
        "\n  Searched distance:\n"
        "    No  atom1    x        y        z      atom2 site       x        y        z  "
        "      d    sigma(d)\n";
    for (const Bond& bond : result.bonds) {
        if (bond.number == 0) continue;
        out += "  ";
        out += distanceLine(result, bond);
        out += '\n';
    }
    out += "\n";
    return out;
}

// The "Bond valence sum" section and the reference list.
std::string sumsText(const CalculationResult& result) {
    const CrystalStructure& structure = result.structure;
    std::string text = "  Bond valence sum:\n\n";
    for (const SiteSums& site : result.sums) {
        if (site.bonds.empty()) continue;
        // A site whose every alternative has a gap still shows its label, as it always has.
        text += formatText("  %-4s:\n",
                           structure.sites[static_cast<std::size_t>(site.site)].name.c_str());
        for (const AlternativeSum& sum : site.alternatives) {
            text += formatText("    %d  BVS =%7.4lf(%7.4lf)  CN =%2d   See ref. below;\n",
                               sum.number, sum.bvs, sum.sigma, site.coordination);
            for (int n : site.bonds) {
                const Bond& bond = result.bonds[static_cast<std::size_t>(n)];
                const BondParameter& p = bond.alternatives[alternativeIndex(bond, sum.number)];
                text +=
                    formatText("          %s (r0=%6.4lf for %-4s - %-4s)\n", p.reference.c_str(),
                               p.r0, p.cationKey.c_str(), p.anionKey.c_str());
            }
            text += "\n";
        }
    }
    text += "  Reference list:\n";
    for (const std::string& reference : result.references) text += "   " + reference + "\n";
    return text;
}

// An index over no site would read as a perfect structure, so none is printed; one over part of
// the ions says so.
std::string giiText(const ValenceSummary& summary) {
    if (!hasIndex(summary)) {
        return "\n  No GII: no site has bond valence parameters for all its bonds.\n";
    }
    if (summary.ionsInCell < summary.ionsWithValence - 1e-9) {
        return formatText("\n  GII = %.4lf v.u. over %.2lf of %.2lf ions in the cell\n",
                          summary.gii, summary.ionsInCell, summary.ionsWithValence);
    }
    return formatText("\n  GII = %.4lf v.u. over %.2lf ions in the cell\n", summary.gii,
                      summary.ionsInCell);
}

// The bonds that make each site's sum, with the table line of each, so that a reader can follow
// every number of the summary; the first shell is the coordination a crystallographer quotes.
std::string siteBondsText(const CalculationResult& result) {
    const CrystalStructure& structure = result.structure;
    std::string text =
        "\n  Bonds of each site: neighbour, site code, d(sigma), s(sigma), table line; \"1\" "
        "marks\n"
        "  the first shell: up to the largest drop, at least twofold, in the bond valences once\n"
        "  the bonds before it carry half the sum.\n";
    for (const SiteSummary& site : result.summary.sites) {
        if (!site.missing.empty()) continue;
        text += formatText("\n  %-6s CN =%3d in the window, CN1 =%3d in the first shell\n",
                           structure.sites[static_cast<std::size_t>(site.site)].name.c_str(),
                           site.coordination, site.firstShell);
        for (const SummaryBond& used : site.bonds) {
            const Bond& bond = result.bonds[static_cast<std::size_t>(used.bond)];
            const ParameterLine& p = used.parameter;
            text += formatText(
                "    %-4s %7s %8.5lf(%7.5lf) %7.4lf(%6.4lf)  %s r0=%6.4lf b=%5.3lf %s\n",
                structure.sites[static_cast<std::size_t>(bond.neighbour)].name.c_str(),
                symmetryCode(bond.image).c_str(), bond.d, bond.sigma, used.s, used.sigmaS,
                used.firstShell ? "1" : " ", p.r0, used.b, p.reference.c_str());
        }
    }
    return text;
}

// The stated valences beside those that bond valence assigns, where they differ.
std::string checkText(const CalculationResult& result) {
    const ValenceAssignment& check = result.check;
    if (check.outcome == AssignmentOutcome::NotNeeded) return {};
    std::string text = "\n  Valence check:\n\n";
    if (check.outcome == AssignmentOutcome::Failed)
        return text + "  No valences assigned by bond valence: " + check.reason + ".\n";
    const auto gii = [](const ValenceSummary& summary) {
        return summary.sites.empty() ? std::string("none") : formatText("%.4lf", summary.gii);
    };
    int differing = 0;
    std::string rows;
    for (std::size_t i = 0; i < result.structure.sites.size(); ++i) {
        const Site& site = result.structure.sites[i];
        const double stated = formalValence(site);
        const double assigned = check.valences[i];
        if (check.sources[i] != ValenceSource::Assigned || std::fabs(stated - assigned) < 1e-3)
            continue;
        ++differing;
        rows += formatText("  %-6s stated %6.2lf  assigned %6.2lf\n", site.name.c_str(), stated,
                           assigned);
    }
    if (differing == 0) {
        text += "  Every site's stated valence is the one bond valence assigns.\n";
    } else {
        text +=
            formatText("  %d site(s) where bond valence assigns another valence:\n\n", differing) +
            rows + "\n";
    }
    text += "  GII with the stated valences " + gii(result.summary) + " v.u., with the assigned " +
            gii(result.checkSummary) + " v.u.\n";
    return text;
}

std::string summaryText(const CalculationResult& result) {
    const CrystalStructure& structure = result.structure;
    const ValenceSummary& summary = result.summary;
    const ValenceAssignment& assignment = result.assignment;
    std::string text = "\n  Valence summary:\n\n";
    if (assignment.outcome == AssignmentOutcome::Failed) {
        text += "  No valences assigned by bond valence: " + assignment.reason + ".\n";
    }
    const auto assigned = [&assignment](int site) {
        return assignment.outcome == AssignmentOutcome::Assigned &&
               assignment.sources[static_cast<std::size_t>(site)] == ValenceSource::Assigned;
    };
    if (!summary.sites.empty() && assignment.outcome == AssignmentOutcome::Assigned) {
        const bool all = std::all_of(summary.sites.begin(), summary.sites.end(),
                                     [&](const SiteSummary& site) { return assigned(site.site); });
        text += all ? "  V assigned by bond valence (the file states none), each marked a"
                    : "  V assigned by bond valence where the file states none, each marked a";
        text += assignment.mixed ? "; one element on sites of different valence.\n" : ".\n";
        for (const std::string& line : balanceLines(structure, assignment))
            text += "  " + line + "\n";
        text += "\n";
    }
    if (summary.onlySign != 0 && summary.signUnoccupied) {
        return text + (summary.onlySign > 0 ? "  No anion" : "  No cation") +
               " occupies the cell: every site of its sign has occupancy 0.\n";
    }
    if (summary.onlySign > 0) {
        return text +
               "  Only the cations have a formal valence: set the anions' charges too to "
               "compare the sums with them.\n";
    }
    if (summary.onlySign < 0) {
        return text +
               "  Only the anions have a formal valence: set the cations' charges too to "
               "compare the sums with them.\n";
    }
    if (summary.sites.empty()) {
        return text +
               "  No site has a formal valence: set the charges to compare the sums with "
               "them.\n";
    }
    text +=
        "  V: formal valence. Bonds only between ions of opposite sign, each with the first "
        "table\n"
        "  line for both ions' valences and that line's own b. dV = BVS - V; * |dV/V| above 10 "
        "%,\n"
        "  ** above 20 %.\n\n"
        "  Site        V       BVS   sigma  CN       dV  dV/V(%)  ref.\n";
    for (const SiteSummary& site : summary.sites) {
        const std::string& label = structure.sites[static_cast<std::size_t>(site.site)].name;
        if (!site.missing.empty()) {
            text += formatText("  %-6s %6.2lf  no parameters for %s\n", label.c_str(), site.valence,
                               site.missing.c_str());
            continue;
        }
        std::string references;
        for (const std::string& reference : site.references) {
            if (!references.empty()) references += ',';
            references += reference;
        }
        if (references.empty()) references.push_back('-');
        text += formatText("  %-6s %6.2lf%s%9.4lf %7.4lf %3d %8.4lf %8.1lf  %s%s%s\n",
                           label.c_str(), site.valence, assigned(site.site) ? "a" : " ", site.bvs,
                           site.sigma, site.coordination, site.deviation, 100.0 * site.relative,
                           references.c_str(), site.mark.empty() ? "" : "  ", site.mark.c_str());
    }
    text += giiText(summary);
    if (result.overfilled && hasIndex(summary)) {
        text += "  The GII is doubtful: sites overfill a position (see the notes at the top).\n";
    }
    text += formatText("  Valences per cell: cations %+.3lf, anions %+.3lf\n",
                       summary.cationValences, summary.anionValences);
    return text + siteBondsText(result);
}

// The distance list's fields, written in one pass with std::to_chars: printf's "%3d", "%-4s",
// "%7s" and "% 8.5lf". A structure has thousands of entries, and formatting each through a
// format string read at run time was a sixth of a whole run. to_chars rounds the exact binary
// value as printf does, so the digits are the same.
void appendPadded(std::string& out, std::string_view text, int width, bool left) {
    const std::size_t padding = text.size() < static_cast<std::size_t>(width)
                                    ? static_cast<std::size_t>(width) - text.size()
                                    : 0;
    if (!left) out.append(padding, ' ');
    out += text;
    if (left) out.append(padding, ' ');
}

void appendInteger(std::string& out, int value, int width) {
    std::array<char, 16> buffer;
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    appendPadded(out,
                 std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.data())),
                 width, false);
}

// "% 8.5lf": a blank where the sign of a number that is not negative would stand.
void appendCoordinate(std::string& out, double value) {
    std::array<char, 64> buffer;
    buffer[0] = ' ';
    const auto [end, error] = std::to_chars(buffer.data() + 1, buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, 5);
    if (error != std::errc()) {  // beyond any cell: printf's own digits
        out += formatText("% 8.5lf", value);
        return;
    }
    const char* begin = buffer[1] == '-' ? buffer.data() + 1 : buffer.data();
    appendPadded(out, std::string_view(begin, static_cast<std::size_t>(end - begin)), 8, false);
}

}  // namespace

std::string distanceLine(const CalculationResult& result, const Bond& bond) {
    const Site& centre = result.structure.sites[static_cast<std::size_t>(bond.centre)];
    const Site& neighbour = result.structure.sites[static_cast<std::size_t>(bond.neighbour)];
    const auto& p = bond.position;
    // " %3d  %-4s % 8.5lf % 8.5lf % 8.5lf   %-4s %7s % 8.5lf % 8.5lf % 8.5lf % 8.5lf % 8.5lf"
    std::string line = " ";
    line.reserve(96);
    appendInteger(line, bond.number, 3);
    line += "  ";
    appendPadded(line, centre.name, 4, true);
    for (const double v : {centre.x, centre.y, centre.z}) {
        line += ' ';
        appendCoordinate(line, v);
    }
    line += "   ";
    appendPadded(line, neighbour.name, 4, true);
    line += ' ';
    appendPadded(line, symmetryCode(bond.image), 7, false);
    for (const double v : {p[0], p[1], p[2], bond.d, bond.sigma}) {
        line += ' ';
        appendCoordinate(line, v);
    }
    return line;
}

std::string reportText(const CalculationResult& result) {
    const std::string failure =
        result.status.ok() ? std::string() : result.status.text(Program::Engine) + "\n";
    switch (result.stage) {
        case CalculationStage::NotRead:
            return failure;
        case CalculationStage::Read:
            // What the reader left out or changed often explains a later failure (a file whose
            // labels name no element has no distance at all), so it stands first here too.
            return notesText(result.structure) + failure;
        case CalculationStage::Listed:
            return listText(result) + failure;
        case CalculationStage::Summarised:
            return listText(result) + sumsText(result) + summaryText(result) + checkText(result);
    }
    return failure;
}

}  // namespace tarnell
