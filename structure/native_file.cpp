#include "structure/native_file.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "settings/text.h"
#include "structure/space_group_lookup.h"

namespace tarnell {
namespace {

constexpr const char* OperatorsHeader = "# Symmetry operators of the structure's own setting";
constexpr const char* CellFormat = "  %9.5lf   %9.5lf   %9.5lf   %9.5lf   %9.5lf   %9.5lf\n";

bool hasBlank(const std::string& text) {
    return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

int readNativeFile(std::istream& in, const std::filesystem::path& path,
                   CrystalStructure& structure, const Wording& wording, std::string& message) {
    std::string line;
    // Every line of the file is required; a file that ends early must not leave a record that
    // looks complete.
    const auto next = [&]() {
        if (readLine(in, line)) return true;
        message = formatText(wording.fileIncomplete, path.string().c_str());
        return false;
    };

    if (!next() || !next()) return -1;
    structure.title = line;
    if (!next() || !next()) return -1;
    structure.sgName = line;
    if (!next() || !next()) return -1;
    std::sscanf(line.c_str(), "%d %d", &structure.sgNumber, &structure.sgSetting);
    if (!next() || !next()) return -1;
    auto& c = structure.cell;
    std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &c[0], &c[1], &c[2], &c[3], &c[4], &c[5]);
    if (!next()) return -1;
    auto& s = structure.cellSigma;
    std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]);
    if (!next() || !next()) return -1;
    int siteCount = 0;
    std::sscanf(line.c_str(), "%d", &siteCount);
    if (siteCount > MaxSites) {
        message = formatText(wording.speciesExceeds, MaxSites);
        return -1;
    }
    if (!next()) return -1;

    std::vector<Site> sites;
    sites.reserve(siteCount > 0 ? siteCount : 0);
    for (int i = 0; i < siteCount; ++i) {
        Site site;
        if (!next()) return -1;
        std::size_t pos = 0;
        site.name = nextToken(line, pos);
        std::sscanf(line.c_str() + pos, "%lf %lf %lf %lf %lf %lf", &site.g, &site.x, &site.y,
                    &site.z, &site.charge, &site.dLimit);
        if (!next()) return -1;
        std::sscanf(line.c_str(), "%lf %lf %lf", &site.sx, &site.sy, &site.sz);
        sites.push_back(std::move(site));
    }
    structure.sites = std::move(sites);
    // A structure with an origin or a cell of its own carries its operators after the sites;
    // earlier readers stop before them.
    structure.symmetryOperators.clear();
    if (readLine(in, line) && startsWith(line, OperatorsHeader)) {
        int count = 0;
        if (!next()) return -1;
        std::sscanf(line.c_str(), "%d", &count);
        for (int i = 0; i < count; ++i) {
            if (!next()) return -1;
            structure.symmetryOperators.push_back(trimBlanks(line));
        }
        return 0;
    }
    // Coordinates in one setting cannot be told from those in another: a symbol that names
    // another setting than number and setting leaves the file ambiguous.
    return checkNamedSetting(NamedSettingUse::Refuse, structure, wording, message);
}

int writeStructureFile(const CrystalStructure& structure, const std::filesystem::path& path,
                       std::string& message) {
    if (structure.siteCount() > MaxSites) {
        message = formatText(FrontEndWording.speciesExceeds, MaxSites);
        return -1;
    }
    if (hasLineBreak(structure.title) || hasLineBreak(structure.sgName)) {
        message = "  Title and space group name must each be one line !!!\n";
        return -1;
    }
    for (const Site& site : structure.sites) {
        if (site.name.empty() || hasBlank(site.name)) {
            message = formatText("  Species name \"%s\" must be one word without blanks !!!\n",
                                 site.name.c_str());
            return -1;
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        message = formatText("  %s file cannot be created !!!\n", path.string().c_str());
        return -1;
    }
    const auto& c = structure.cell;
    const auto& s = structure.cellSigma;
    out << "# Title\n" << structure.title << '\n';
    out << "# Name of space group\n" << structure.sgName << '\n';
    out << "# Number and setting number of space group\n";
    out << formatText("%3d   %d\n", structure.sgNumber, structure.sgSetting);
    out << "# Unit cell parameters\n";
    out << formatText(CellFormat, c[0], c[1], c[2], c[3], c[4], c[5]);
    out << formatText(CellFormat, s[0], s[1], s[2], s[3], s[4], s[5]);
    out << "# Number of sites\n";
    out << formatText("%3d\n", structure.siteCount());
    out << "# Crystal data: name, g, x, y, z, charge, d-limit\n";
    for (const Site& site : structure.sites) {
        out << formatText("  %-4s  %8.5lf  %8.5lf  %8.5lf  %8.5lf  %8.5lf  %8.5lf\n",
                          site.name.c_str(), site.g, site.x, site.y, site.z, site.charge,
                          site.dLimit);
        out << formatText("                  %8.5lf  %8.5lf  %8.5lf\n", site.sx, site.sy, site.sz);
    }
    if (!structure.symmetryOperators.empty()) {
        out << OperatorsHeader << '\n';
        out << formatText("%3d\n", static_cast<int>(structure.symmetryOperators.size()));
        for (const std::string& op : structure.symmetryOperators) out << op << '\n';
    }
    out.close();
    if (!out) {
        message = formatText("  %s file cannot be written !!!\n", path.string().c_str());
        return -1;
    }
    return 0;
}

}  // namespace tarnell
