#include "structure/native_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <vector>

#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "structure/site_label.h"
#include "structure/space_group_lookup.h"

namespace tarnell {
namespace {

constexpr const char* OperatorsHeader = "# Symmetry operators of the structure's own setting";
// A mixed site's charge is its share of the oxidation state (charge × occupancy); the oxidation
// state itself, which the valence summary compares with, follows here, one line a site in site
// order, 0 where the charge is the valence. Readers that stop after the sites ignore it.
constexpr const char* ValencesHeader = "# Formal valences of the sites";
// The file's sum formula and its formula units in the cell, when the structure came from a file
// that gave them: they tell the assignment of valences how much hydrogen no site places.
constexpr const char* FormulaHeader = "# Sum formula and formula units";
constexpr const char* CellFormat = "  %9.5lf   %9.5lf   %9.5lf   %9.5lf   %9.5lf   %9.5lf\n";

bool hasBlank(const std::string& text) {
    return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

Status readNativeFile(std::istream& in, const std::filesystem::path& path,
                      CrystalStructure& structure) {
    Message failure;  // what the step that failed says
    const std::string name = path.string();
    std::string line;
    int lineNumber = 0;
    // Every line of the file is required; a file that ends early must not leave a record that
    // looks complete.
    const auto next = [&]() {
        ++lineNumber;
        if (readLine(in, line)) return true;
        failure = message(MessageId::FileIncomplete, name.c_str());
        return false;
    };
    // The format is positional: a line with a value too few or too many is a file out of step
    // with its layout, and a half-read number would give a made-up value.
    const auto tokensOf = [&](std::size_t labels, std::size_t values,
                              std::vector<std::string>& tokens) {
        tokens.clear();
        std::size_t pos = 0;
        for (std::string token = nextToken(line, pos); !token.empty();
             token = nextToken(line, pos)) {
            tokens.push_back(std::move(token));
        }
        if (tokens.size() == labels + values) return true;
        const std::size_t found = tokens.size() > labels ? tokens.size() - labels : 0;
        failure = message(MessageId::ValueCountInLine, lineNumber, name.c_str(),
                          static_cast<int>(found), static_cast<int>(values));
        return false;
    };
    const auto badNumber = [&](const std::string& token) {
        failure = message(MessageId::BadNumberInLine, token.c_str(), lineNumber, name.c_str());
        return false;
    };
    const auto reals = [&](std::size_t labels, std::vector<double*> fields) {
        std::vector<std::string> tokens;
        if (!tokensOf(labels, fields.size(), tokens)) return false;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::optional<double> value = readReal(tokens[labels + i]);
            if (!value) return badNumber(tokens[labels + i]);
            *fields[i] = *value;
        }
        return true;
    };
    const auto integers = [&](std::vector<int*> fields) {
        std::vector<std::string> tokens;
        if (!tokensOf(0, fields.size(), tokens)) return false;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::optional<int> value = readInteger(tokens[i]);
            if (!value) return badNumber(tokens[i]);
            *fields[i] = *value;
        }
        return true;
    };

    CrystalStructure read = structure;
    if (!next() || !next()) return Status::failed(failure);
    read.title = line;
    if (!next() || !next()) return Status::failed(failure);
    read.sgName = line;
    if (!next() || !next() || !integers({&read.sgNumber, &read.sgSetting}))
        return Status::failed(failure);
    auto& c = read.cell;
    if (!next() || !next() || !reals(0, {&c[0], &c[1], &c[2], &c[3], &c[4], &c[5]}))
        return Status::failed(failure);
    auto& s = read.cellSigma;
    if (!next() || !reals(0, {&s[0], &s[1], &s[2], &s[3], &s[4], &s[5]}))
        return Status::failed(failure);
    int siteCount = 0;
    if (!next() || !next() || !integers({&siteCount})) return Status::failed(failure);
    if (siteCount < 0) {
        badNumber(trimBlanks(line));
        return Status::failed(failure);
    }
    if (siteCount > MaxSites) {
        return Status::failed(message(MessageId::SpeciesExceeds, MaxSites));
    }
    if (!next()) return Status::failed(failure);

    std::vector<Site> sites;
    sites.reserve(static_cast<std::size_t>(siteCount));
    for (int i = 0; i < siteCount; ++i) {
        Site site;
        if (!next()) return Status::failed(failure);
        std::size_t pos = 0;
        site.name = nextToken(line, pos);
        if (!reals(1, {&site.g, &site.x, &site.y, &site.z, &site.charge, &site.dLimit})) {
            return Status::failed(failure);
        }
        if (!next() || !reals(0, {&site.sx, &site.sy, &site.sz})) return Status::failed(failure);
        sites.push_back(std::move(site));
    }
    read.sites = std::move(sites);
    // A structure with an origin or a cell of its own carries its operators after the sites;
    // earlier readers stop before them.
    read.symmetryOperators.clear();
    bool ownOperators = false;
    bool more = readLine(in, line);
    if (more) ++lineNumber;
    if (more && startsWith(line, OperatorsHeader)) {
        int count = 0;
        if (!next() || !integers({&count})) return Status::failed(failure);
        if (count < 0 || count > MaxOperators) {
            badNumber(trimBlanks(line));
            return Status::failed(failure);
        }
        for (int i = 0; i < count; ++i) {
            if (!next()) return Status::failed(failure);
            read.symmetryOperators.push_back(trimBlanks(line));
        }
        ownOperators = true;
        more = readLine(in, line);
        if (more) ++lineNumber;
    }
    if (more && startsWith(line, ValencesHeader)) {
        for (Site& site : read.sites) {
            if (!next() || !reals(0, {&site.valence})) return Status::failed(failure);
        }
        more = readLine(in, line);
        if (more) ++lineNumber;
    }
    if (more && startsWith(line, FormulaHeader)) {
        // The units come first, then the formula: "  4  H1.8 Mo2 O10.9 P2 Rb".
        if (!next()) return Status::failed(failure);
        std::size_t pos = 0;
        const std::string units = nextToken(line, pos);
        const std::optional<double> z = readReal(units);
        if (!z) {
            badNumber(units);
            return Status::failed(failure);
        }
        read.formulaUnits = *z;
        read.formula = formulaCounts(line.substr(pos));
    }
    if (ownOperators) {
        structure = std::move(read);
        return {};
    }
    // Coordinates in one setting cannot be told from those in another: a symbol that names
    // another setting than number and setting leaves the file ambiguous.
    if (Status named = checkNamedSetting(NamedSettingUse::Refuse, read); !named.ok()) {
        return named;
    }
    structure = std::move(read);
    return {};
}

Status writeStructureFile(const CrystalStructure& structure, const std::filesystem::path& path) {
    if (structure.siteCount() > MaxSites) {
        return Status::failed(message(MessageId::SpeciesExceeds, MaxSites));
    }
    if (hasLineBreak(structure.title) || hasLineBreak(structure.sgName)) {
        return Status::failed(MessageId::TitleNotOneLine);
    }
    for (const Site& site : structure.sites) {
        if (site.name.empty() || hasBlank(site.name)) {
            return Status::failed(MessageId::LabelNotOneWord, site.name);
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return Status::failed(MessageId::FileNotCreated, path);
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
    const bool scaled = std::any_of(structure.sites.begin(), structure.sites.end(),
                                    [](const Site& site) { return site.valence != 0.0; });
    if (scaled) {
        out << ValencesHeader << '\n';
        for (const Site& site : structure.sites) out << formatText("  %8.5lf\n", site.valence);
    }
    if (!structure.formula.empty()) {
        out << FormulaHeader << '\n' << formatText("  %g ", structure.formulaUnits);
        for (const auto& [element, count] : structure.formula)
            out << formatText(" %s%g", element.c_str(), count);
        out << '\n';
    }
    out.close();
    if (!out) {
        return Status::failed(MessageId::FileNotWritten, path);
    }
    return {};
}

}  // namespace tarnell
