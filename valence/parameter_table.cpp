#include "valence/parameter_table.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "settings/input_file.h"
#include "settings/numbers.h"
#include "settings/text.h"

namespace tarnell {
namespace {

std::optional<int> wholeNumber(std::string_view text) {
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

// The lines of a text exactly as readLine gives them from a stream, each a view into the text:
// copying 2000 table lines into strings, twice, was a third of a typical run.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (stopped_ || pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // An overlong line ends the reading, as it fails the stream.
        if (line.size() > MaxLineLength) stopped_ = true;
        return !stopped_;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool stopped_ = false;
};

std::string_view tokenAt(std::string_view text, std::size_t& pos) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    const std::size_t begin = pos;
    while (pos < text.size() && !isSpace(text[pos])) ++pos;
    return text.substr(begin, pos - begin);
}

// r0 and b as the table writes them ("1.759", "0.37") without from_chars's general machinery,
// which took a twentieth of a run: at most 15 digits make an exact integer, and its quotient by
// an exact power of ten is correctly rounded, the very double that from_chars gives. Any other
// form goes to readReal.
std::optional<double> tableNumber(std::string_view token) {
    static constexpr double PowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (token.size() < 3 || token.size() > 16 || token.front() == '.' || token.back() == '.')
        return readReal(token);
    std::uint64_t digits = 0;
    int decimals = -1;
    for (const char c : token) {
        if (c == '.' && decimals < 0) {
            decimals = 0;
        } else if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            if (decimals >= 0) ++decimals;
        } else {
            return readReal(token);
        }
    }
    if (decimals < 0) return readReal(token);
    return static_cast<double>(digits) / PowersOfTen[decimals];
}

// Every line is read and judged, including the many that a structure never uses.
bool readDataLine(std::string_view line, ParameterLine& entry) {
    // Lines are found by the element symbol at their very start: an indented line is
    // never a data line.
    if (line.empty() || line[0] == ' ' || line[0] == '\t') return false;
    std::size_t pos = 0;
    const std::string_view cation = tokenAt(line, pos);
    const std::optional<int> cationValence = wholeNumber(tokenAt(line, pos));
    const std::string_view anion = tokenAt(line, pos);
    const std::optional<int> anionValence = wholeNumber(tokenAt(line, pos));
    const std::optional<double> r0 = tableNumber(tokenAt(line, pos));
    const std::string_view reference = tokenAt(line, pos);
    if (reference.empty() || !r0 || !cationValence || !anionValence) return false;
    entry.cation = cation;
    entry.cationValence = *cationValence;
    entry.anion = anion;
    entry.anionValence = *anionValence;
    entry.r0 = *r0;
    entry.reference = reference;
    const std::optional<double> b = tableNumber(tokenAt(line, pos));
    entry.b = b && *b > 0.0 ? *b : 0.0;
    return true;
}

Status loadParameterText(std::string_view text, const std::filesystem::path& path,
                         ParameterTable& table) {
    table.lines.clear();
    TextLines lines(text);
    std::string_view line;
    ParameterLine entry;
    while (lines.next(line)) {
        if (readDataLine(line, entry)) table.lines.push_back(entry);
    }
    if (table.lines.empty()) {
        return Status::failed(MessageId::NoBondParameters, path);
    }
    return {};
}

Status readReferenceText(std::string_view text, int entryNum,
                         std::vector<std::string>& references) {
    if (entryNum > MaxReferences) {
        return Status::failed(MessageId::TooManyReferences, entryNum, MaxReferences);
    }
    TextLines lines(text);
    std::string_view line;
    bool found = false;
    while (!found && lines.next(line)) found = startsWith(line, ReferenceHeader);
    if (!found) return Status::failed(MessageId::NoReferenceSection);
    lines.next(line);
    references.clear();
    for (int i = 0; i < entryNum && lines.next(line); ++i) {
        references.emplace_back(line.size() > 3 ? line.substr(3) : std::string_view());
    }
    return {};
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
    return loadParameterText(text, path, table);
}

Status loadParameterTable(std::istream& in, const std::filesystem::path& path,
                          ParameterTable& table) {
    const std::string text(std::istreambuf_iterator<char>(in), {});
    return loadParameterText(text, path, table);
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
    const std::string text(std::istreambuf_iterator<char>(in), {});
    return readReferenceText(text, entryNum, references);
}

namespace {

ParameterTables tablesFromText(const std::string& text, const std::filesystem::path& path,
                               const Settings& settings) {
    ParameterTables tables;
    tables.source = tableSource(text, path);
    tables.loaded = loadParameterText(text, path, tables.whole);
    if (!tables.loaded.ok()) return tables;
    tables.window = linesWithB(tables.whole, settings.bvB);
    if (!(settings.bvB > 0.0)) {
        tables.referencesRead = Status::failed(MessageId::BvBNotPositive, settings.bvB);
    } else {
        tables.referencesRead = readReferenceText(text, settings.entryNum, tables.references);
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
