#include "valence/parameter_table.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "settings/input_file.h"
#include "settings/line_search.h"
#include "settings/numbers.h"
#include "settings/settings_file.h"
#include "settings/text.h"

namespace tarnell {
namespace {

std::optional<int> wholeNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end) return std::nullopt;
    return value;
}

// The whole file, once: the data lines and the reference section are read from one copy.
Status readWhole(const std::filesystem::path& path, std::string& text) {
    // An empty or unreadable table would otherwise end in "No distance entry", as if the
    // structure had no bonds.
    return readInputFile(path, MessageId::DataFileNotFound, &text);
}

// The file name, and the IUCr table that the converter names in its header line
// "; Made by make_bvtable from bvparm2020.cif (data_...) ...", so that a report can be reproduced.
std::string tableSource(const std::string& text, const std::filesystem::path& path) {
    std::string source = path.filename().string();
    constexpr std::string_view Made = "; Made by make_bvtable from ";
    const std::size_t at = text.find(Made);
    if (at == std::string::npos || (at > 0 && text[at - 1] != '\n')) return source;
    const std::size_t from = at + Made.size();
    const std::size_t end = text.find(')', from);
    const std::size_t lineEnd = text.find('\n', from);
    if (end == std::string::npos || end > lineEnd) return source;
    return source + " from " + text.substr(from, end + 1 - from);
}

// Longest part of a table line that a message quotes.
constexpr std::size_t MaxQuotedLine = 80;

// Cation, its valence, anion, its valence, R0, reference and an optional b, and nothing else.
std::optional<ParameterLine> parameterLine(const std::string& line) {
    std::size_t pos = 0;
    ParameterLine entry;
    entry.cation = nextToken(line, pos);
    const std::optional<int> cationValence = wholeNumber(nextToken(line, pos));
    entry.anion = nextToken(line, pos);
    const std::optional<int> anionValence = wholeNumber(nextToken(line, pos));
    const std::optional<double> r0 = readReal(nextToken(line, pos));
    entry.reference = nextToken(line, pos);
    const std::string bText = nextToken(line, pos);
    if (!nextToken(line, pos).empty()) return std::nullopt;
    if (entry.anion.empty() || entry.reference.empty() || !cationValence || !anionValence) {
        return std::nullopt;
    }
    const auto plausibleValence = [](int v) {
        return v >= -MaxTableValence && v <= MaxTableValence;
    };
    if (!plausibleValence(*cationValence) || !plausibleValence(*anionValence)) return std::nullopt;
    if (!r0 || !(*r0 > 0.0 && *r0 < MaxR0)) return std::nullopt;
    entry.cationValence = *cationValence;
    entry.anionValence = *anionValence;
    entry.r0 = *r0;
    if (!bText.empty()) {
        const std::optional<double> b = readReal(bText);
        if (!b || !(*b > 0.0 && *b < MaxBvB)) return std::nullopt;
        entry.b = *b;
    }
    return entry;
}

}  // namespace

std::string cationKey(const ParameterLine& line) {
    return line.cation + std::to_string(line.cationValence) + "+";
}

std::string anionKey(const ParameterLine& line) {
    return line.anion + std::to_string(line.anionValence) + "-";
}

Status loadParameterTable(const std::filesystem::path& path, ParameterTable& table) {
    std::string text;
    if (Status read = readWhole(path, text); !read.ok()) return read;
    std::istringstream in(text);
    return loadParameterTable(in, path, table);
}

Status loadParameterTable(std::istream& in, const std::filesystem::path& path,
                          ParameterTable& table) {
    table.lines.clear();
    std::string line;
    int lineNumber = 0;
    while (readLine(in, line)) {
        ++lineNumber;
        // Lines are found by the element symbol at their very start: an indented line is
        // never a data line, nor is a comment.
        if (line.empty() || !std::isalpha(static_cast<unsigned char>(line[0]))) continue;
        std::optional<ParameterLine> entry = parameterLine(line);
        // A line that does not read would let the next alternative take its place in silence,
        // and an R0 of 0 or 1000 gives valences that read like results.
        if (!entry) {
            return Status::failed(MessageId::ParameterLineInvalid, lineNumber, path,
                                  printableText(line, MaxQuotedLine));
        }
        table.lines.push_back(std::move(*entry));
    }
    if (table.lines.empty()) {
        return Status::failed(MessageId::NoBondParameters, path);
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
        parameters.push_back({cationKey(line), anionKey(line), line.r0, line.reference});
    }
    return parameters;
}

Status readReferenceList(const std::filesystem::path& path, int entryNum,
                         std::vector<std::string>& references) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Status::failed(message(MessageId::DataFileNotFound, path.string().c_str()));
    }
    return readReferenceList(in, entryNum, references);
}

Status readReferenceList(std::istream& in, int entryNum, std::vector<std::string>& references) {
    if (entryNum > MaxReferences) {
        return Status::failed(MessageId::TooManyReferences, entryNum, MaxReferences);
    }
    std::string line;
    if (!findLine(in, ReferenceHeader, line)) {
        return Status::failed(MessageId::NoReferenceSection);
    }
    readLine(in, line);
    references.clear();
    for (int i = 0; i < entryNum && readLine(in, line); ++i) {
        references.push_back(line.size() > 3 ? line.substr(3) : std::string());
    }
    return {};
}

namespace {

ParameterTables tablesFromText(const std::string& text, const std::filesystem::path& path,
                               const Settings& settings) {
    ParameterTables tables;
    std::istringstream lines(text);
    tables.source = tableSource(text, path);
    tables.loaded = loadParameterTable(lines, path, tables.whole);
    if (!tables.loaded.ok()) return tables;
    tables.window = linesWithB(tables.whole, settings.bvB);
    if (!(settings.bvB > 0.0)) {
        tables.referencesRead = Status::failed(MessageId::BvBNotPositive, settings.bvB);
    } else {
        std::istringstream references(text);
        tables.referencesRead = readReferenceList(references, settings.entryNum, tables.references);
    }
    return tables;
}

}  // namespace

ParameterTables readParameterTables(const std::filesystem::path& path, const Settings& settings) {
    std::string text;
    if (Status read = readWhole(path, text); !read.ok()) {
        ParameterTables tables;
        tables.loaded = read;
        return tables;
    }
    // The text read is parsed as it is: copying it through a stream cost a twentieth of a run.
    return tablesFromText(text, path, settings);
}

ParameterTables readParameterTables(std::istream& in, const std::filesystem::path& path,
                                    const Settings& settings) {
    const std::string text(std::istreambuf_iterator<char>(in), {});
    return tablesFromText(text, path, settings);
}

}  // namespace tarnell
