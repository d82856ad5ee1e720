#include "valence/report.h"

#include "settings/text.h"

namespace tarnell {

std::string reportText(const CrystalStructure& structure,
                       const std::vector<std::string>& operatorTexts,
                       const std::vector<DistanceEntry>& entries) {
    std::string out;
    const auto& c = structure.cell;
    const auto& s = structure.cellSigma;
    constexpr const char* CellFormat = "  %10.6lf %10.6lf %10.6lf %10.6lf %10.6lf %10.6lf\n";
    // What the reader left out or changed stands first, so that no one misses it.
    for (const std::string& note : structure.notes) out += note;
    if (!structure.notes.empty()) out += '\n';
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
    for (std::size_t k = 0; k < operatorTexts.size(); ++k) {
        out += formatText("  %3d   %s\n", static_cast<int>(k + 1), operatorTexts[k].c_str());
    }
    out +=
        "\n  Searched distance:\n"
        "    No  atom1    x        y        z      atom2 site       x        y        z  "
        "      d    sigma(d)\n";
    for (const DistanceEntry& entry : entries) {
        out += "  ";
        out += distanceLine(entry);
        out += '\n';
    }
    out += "\n";
    return out;
}

}  // namespace tarnell
