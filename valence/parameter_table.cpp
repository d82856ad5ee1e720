#include "valence/parameter_table.h"

#include <cmath>
#include <fstream>
#include <optional>

#include "settings/input_file.h"
#include "settings/line_search.h"
#include "settings/numbers.h"
#include "settings/text.h"
#include "settings/wording.h"

namespace tarnell {
Status loadParameterTable(const std::filesystem::path& path, ParameterTable& table) {
    // An empty or unreadable table would otherwise end in "No distance entry", as if the
    // structure had no bonds.
    if (Status step = checkInputFile(path, EngineWording.dataFileNotFound, EngineWording);
        !step.ok()) {
        return step;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Status::failed(formatText(EngineWording.fileCannotBeRead, path.string().c_str()));
    }
    table.lines.clear();
    std::string line;
    while (readLine(in, line)) {
        // Lines are found by the element symbol at their very start: an indented line is
        // never a data line.
        if (line.empty() || line[0] == ' ' || line[0] == '\t') continue;
        std::size_t pos = 0;
        ParameterLine entry;
        entry.cation = nextToken(line, pos);
        entry.cationValence = nextToken(line, pos);
        entry.anion = nextToken(line, pos);
        entry.anionValence = nextToken(line, pos);
        const std::string r0 = nextToken(line, pos);
        entry.reference = nextToken(line, pos);
        // The reference identifier closes every alternative in the parameter list file, which
        // is read back field by field: a line without one is not a data line.
        const std::optional<double> r0Value = readReal(r0);
        if (entry.reference.empty() || !r0Value) continue;
        entry.r0 = *r0Value;
        const std::optional<double> b = readReal(nextToken(line, pos));
        if (b && *b > 0.0) entry.b = *b;
        table.lines.push_back(std::move(entry));
    }
    if (table.lines.empty()) {
        return Status::failed(formatText("  Error !!!   %s holds no bond valence parameters.\n",
                                         path.string().c_str()));
    }
    return {};
}

ParameterTable linesWithB(const ParameterTable& table, double b) {
    // The IUCr table writes 0.37 as well as 0.370.
    constexpr double SameB = 1e-6;
    ParameterTable selected;
    for (const ParameterLine& line : table.lines) {
        if (line.b == 0.0 || std::fabs(line.b - b) < SameB) selected.lines.push_back(line);
    }
    return selected;
}

bool hasBondParameters(const ParameterTable& table, const std::string& cation,
                       const std::string& anion) {
    for (const ParameterLine& line : table.lines) {
        if (line.cation == cation && line.anion == anion) return true;
    }
    return false;
}

std::vector<BondParameter> lookupBondParameters(const ParameterTable& table,
                                                const std::string& cation,
                                                const std::string& anion) {
    std::vector<BondParameter> parameters;
    for (const ParameterLine& line : table.lines) {
        if (line.cation != cation || line.anion != anion) continue;
        parameters.push_back({line.cation + line.cationValence + "+",
                              line.anion + line.anionValence + "-", line.r0, line.reference});
    }
    return parameters;
}

std::string bondParameterText(const std::vector<BondParameter>& parameters) {
    std::string text;
    for (const BondParameter& p : parameters) {
        text += formatText("  %-4s %-4s %6.4lf %s", p.cationKey.c_str(), p.anionKey.c_str(), p.r0,
                           p.reference.c_str());
    }
    return text;
}

Status readReferenceList(const std::filesystem::path& path, int entryNum,
                         std::vector<std::string>& references) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Status::failed(formatText(EngineWording.dataFileNotFound, path.string().c_str()));
    }
    if (entryNum > MaxReferences) {
        return Status::failed(formatText("  Error !!! EntryNum %d is more than %d references.\n",
                                         entryNum, MaxReferences));
    }
    std::string line;
    if (!findLine(in, ReferenceHeader, line)) {
        return Status::failed("  Error !!! No reference section.\n");
    }
    readLine(in, line);
    references.clear();
    for (int i = 0; i < entryNum && readLine(in, line); ++i) {
        references.push_back(line.size() > 3 ? line.substr(3) : std::string());
    }
    return {};
}

}  // namespace tarnell
