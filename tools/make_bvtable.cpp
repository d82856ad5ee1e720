// make_bvtable <input.cif> <output BVTable> [--b B] [--reference ID]...: writes the bond valence
// parameter table BVTable from a table in the IUCr CIF layout (I. D. Brown's accumulated table of
// bond valence parameters, bvparm20xx.cif).
//
// Every row that pairs a cation with an anion is kept in file order, each as
// "Fe 3 O 2 1.759 a 0.37" with its own b; r0 and b are copied digit for digit. --b keeps only the
// rows of that b. The reference section follows
// with every reference of the CIF. --reference keeps only the rows of that reference and only it
// in the section; named more than once, the references rank in the order given, and a row of a
// later one is kept only for an ion pair (both ions with their valences) that no earlier one
// lists. The CIF's leading comments, which carry its copyright notice, are kept as comment lines
// with a note of what was changed, as the notice asks.
//
// Nothing is written unless the whole table can be stated: a value with blanks, a missing value,
// an r0 that is not a plain positive number, or more references than the engine lists stops the
// tool with a message and exit status 1. The finished table is read back with the engine's own
// reader before it replaces the output file. The number of references written (the EntryNum of
// Tarnell.ini) is printed on the last line of standard output.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <gemmi/cif.hpp>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "valence/parameter_table.h"

namespace {

namespace cif = gemmi::cif;
using tarnell::formatText;

// B values that differ by less than this are the same B (the CIF writes 0.37 or 0.370).
constexpr double BTolerance = 1e-6;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

struct Options {
    std::string input;
    std::string output;
    std::string bText;                    // --b as given; empty: rows of every b
    std::optional<double> onlyB;          // --b
    std::vector<std::string> references;  // empty: all of them
};

struct Reference {
    std::string id;
    std::string text;
};

struct Row {
    std::string cation;
    std::string cationValence;
    std::string anion;
    std::string anionValence;
    std::string r0Text;
    double r0 = 0.0;
    std::string reference;
    std::string bText;
    double b = 0.0;
};

struct Selection {
    std::vector<Row> rows;
    int sourceRows = 0;
    int repeatedRows = 0;   // rows equal to an earlier kept one in every field
    int outrankedRows = 0;  // rows of a later --reference for an ion pair an earlier one lists
    int sameSignRows = 0;   // rows that do not pair a cation with an anion
};

bool hasBlank(const std::string& text) {
    return text.find_first_of(" \t\r\n\v\f") != std::string::npos;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--b" || arg == "--reference") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--b") {
                const std::optional<double> b = tarnell::readReal(value);
                if (!b || *b <= 0.0) fail("--b " + value + " is not a positive number");
                options.bText = value;
                options.onlyB = *b;
            } else {
                if (value.empty() || hasBlank(value)) fail("--reference needs one identifier");
                options.references.push_back(value);
            }
        } else if (arg.starts_with("--")) {
            fail("unknown or incomplete option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        fail("usage: make_bvtable <input.cif> <output BVTable> [--b B] [--reference ID]...");
    options.input = files[0];
    options.output = files[1];
    return options;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
    return text;
}

// The comment lines of the CIF before its first loop: title, copyright notice, disclaimer and
// the notes on the table's conventions (valence 9, NH for ammonium).
std::vector<std::string> leadingComments(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(path + ": cannot be opened");
    std::vector<std::string> comments;
    std::string line;
    while (tarnell::readLine(in, line)) {
        const std::string trimmed = tarnell::trimBlanks(line);
        if (trimmed.starts_with("loop_")) break;
        if (!trimmed.starts_with("#")) continue;
        // Kept with its indentation, after the blank that every comment line opens with.
        std::string text = trimmed.substr(1);
        if (!text.empty() && text[0] == ' ') text.erase(0, 1);
        comments.push_back(std::move(text));
    }
    return comments;
}

// One value of a row as it will stand in a blank-separated field.
std::string fieldValue(const std::string& raw, const char* what, const std::string& where) {
    std::string value = cif::as_string(raw);
    if (value.empty()) fail(where + ": " + what + " is missing");
    if (hasBlank(value)) fail(where + ": " + what + " \"" + value + "\" contains a blank");
    return value;
}

std::string rowText(const cif::Table::Row& row) {
    return joined(std::vector<std::string>(row.begin(), row.end()), " ");
}

std::vector<Reference> readReferences(cif::Block& block) {
    cif::Table table = block.find("_valence_ref_", {"id", "reference"});
    if (!table.ok()) fail("no loop of _valence_ref_id and _valence_ref_reference");
    std::vector<Reference> references;
    for (cif::Table::Row row : table) {
        const std::string where = "reference " + rowText(row);
        Reference reference{fieldValue(row[0], "the identifier", where), ""};
        // A reference is one line of the table: a text field's line breaks become blanks.
        const std::string text = cif::as_string(row[1]);
        std::vector<std::string> words;
        std::size_t pos = 0;
        for (std::string word; !(word = tarnell::nextToken(text, pos)).empty();)
            words.push_back(word);
        reference.text = joined(words, " ");
        for (const Reference& earlier : references)
            if (earlier.id == reference.id) fail("reference " + reference.id + " is listed twice");
        references.push_back(std::move(reference));
    }
    return references;
}

std::string dataLine(const Row& row) {
    return formatText("%s %s %s %s %s %s %s", row.cation.c_str(), row.cationValence.c_str(),
                      row.anion.c_str(), row.anionValence.c_str(), row.r0Text.c_str(),
                      row.reference.c_str(), row.bText.c_str());
}

// Where the row's reference stands among those asked for; 0 when all are.
std::optional<std::size_t> rankOf(const Options& options, const std::string& reference) {
    if (options.references.empty()) return 0;
    const auto at = std::find(options.references.begin(), options.references.end(), reference);
    if (at == options.references.end()) return std::nullopt;
    return static_cast<std::size_t>(at - options.references.begin());
}

Selection selectRows(cif::Block& block, const Options& options) {
    cif::Table table = block.find("_valence_param_", {"atom_1", "atom_1_valence", "atom_2",
                                                      "atom_2_valence", "Ro", "B", "ref_id"});
    if (!table.ok()) fail("no loop of _valence_param_atom_1 ... _valence_param_ref_id");
    Selection selection{};
    std::vector<std::size_t> ranks;
    std::set<std::string> written;
    for (cif::Table::Row row : table) {
        ++selection.sourceRows;
        const std::string where =
            formatText("parameter row %d (%s)", selection.sourceRows, rowText(row).c_str());
        Row entry;
        entry.bText = fieldValue(row[5], "b", where);
        const std::optional<double> b = tarnell::readReal(entry.bText);
        if (!b || !(*b > 0.0)) fail(where + ": b \"" + entry.bText + "\" is not a positive number");
        if (options.onlyB && std::fabs(*b - *options.onlyB) > BTolerance) continue;
        entry.b = *b;
        entry.reference = fieldValue(row[6], "the reference identifier", where);
        const std::optional<std::size_t> rank = rankOf(options, entry.reference);
        if (!rank) continue;
        entry.cation = fieldValue(row[0], "the cation", where);
        entry.cationValence = fieldValue(row[1], "the cation valence", where);
        entry.anion = fieldValue(row[2], "the anion", where);
        entry.anionValence = fieldValue(row[3], "the anion valence", where);
        // An ionic sum pairs a cation with an anion; the table's homoatomic and same-sign rows
        // (O-2 O-2, P 5 P 5, Co 3 C 2 ...) are values for other purposes, and an O-O "bond"
        // would be added to every oxide.
        const std::optional<double> cationValence = tarnell::readReal(entry.cationValence);
        const std::optional<double> anionValence = tarnell::readReal(entry.anionValence);
        if (!cationValence || !anionValence || !(*cationValence > 0) || !(*anionValence < 0)) {
            ++selection.sameSignRows;
            continue;
        }
        if (entry.anionValence[0] == '-' || entry.anionValence[0] == '+')
            entry.anionValence.erase(0, 1);
        if (entry.anionValence.empty()) fail(where + ": the anion valence is only a sign");
        entry.r0Text = fieldValue(row[4], "r0", where);
        const std::optional<double> r0 = tarnell::readReal(entry.r0Text);
        // An r0 of 0 tells the engine to pass the alternative over: from a CIF it can only be
        // a fault of the file.
        if (!r0 || *r0 <= 0.0)
            fail(where + ": r0 \"" + entry.r0Text + "\" is not a positive number");
        entry.r0 = *r0;
        // A row repeated word for word would only print the same sum twice (Cf 3 Cl -1 of
        // reference b stands twice in bvparm2013.cif).
        if (!written.insert(dataLine(entry)).second) {
            ++selection.repeatedRows;
            std::fprintf(stderr, "make_bvtable: note: %s repeats an earlier row; left out\n",
                         where.c_str());
            continue;
        }
        selection.rows.push_back(std::move(entry));
        ranks.push_back(*rank);
    }

    using IonPair = std::tuple<std::string, std::string, std::string, std::string>;
    const auto ionPair = [](const Row& row) {
        return IonPair{row.cation, row.cationValence, row.anion, row.anionValence};
    };
    std::map<IonPair, std::size_t> bestRank;
    for (std::size_t i = 0; i < selection.rows.size(); ++i) {
        const auto [at, inserted] = bestRank.try_emplace(ionPair(selection.rows[i]), ranks[i]);
        if (!inserted) at->second = std::min(at->second, ranks[i]);
    }
    std::vector<Row> kept;
    for (std::size_t i = 0; i < selection.rows.size(); ++i) {
        if (ranks[i] == bestRank[ionPair(selection.rows[i])])
            kept.push_back(std::move(selection.rows[i]));
        else
            ++selection.outrankedRows;
    }
    selection.rows = std::move(kept);
    return selection;
}

// What the engine's reference list holds for a reference: its line without the first three
// characters, so that the identifier stays in sight.
std::string referenceEntry(const Reference& reference) {
    return reference.text.empty()
               ? reference.id
               : formatText("%-2s %s", reference.id.c_str(), reference.text.c_str());
}

// Comment lines begin with "; " so that none is a data line and none is taken for the
// reference header, which begins with ";*".
std::string commentLine(const std::string& text) {
    return text.empty() ? ";" : "; " + text;
}

std::string tableText(const Options& options, const std::string& blockName,
                      const std::vector<std::string>& comments, const Selection& selection,
                      const std::vector<Reference>& references) {
    const std::string source = std::filesystem::path(options.input).filename().string();
    std::string referenceOptions;
    for (const std::string& id : options.references) referenceOptions += " --reference " + id;
    const std::string named = joined(options.references, ", ");

    std::string text;
    const auto add = [&text](const std::string& line) { text += line + "\n"; };
    add(commentLine("BVTable: bond valence parameters r0 and b (A) of cation-anion pairs."));
    add(
        commentLine("Fields: cation, its valence, anion, its valence without sign, r0, reference, "
                    "b. The sums"));
    add(commentLine(
        "of the distance list use the lines whose b is BV-B of Tarnell.ini, the valence"));
    add(commentLine("summary every line with its own b."));
    add(commentLine("Made by make_bvtable from " + source + " (data_" + blockName + ")" +
                    (options.onlyB ? " with --b " + options.bText : std::string()) +
                    referenceOptions + "."));
    add(commentLine("Changes to that table: written in this layout, anion valences without sign;"));
    add(commentLine("kept are its rows" +
                    (options.onlyB ? " with B = " + options.bText : std::string()) +
                    (named.empty() ? "" : " of reference(s) " + named) +
                    formatText(" (%zu of %d rows), in their order;", selection.rows.size(),
                               selection.sourceRows)));
    if (selection.outrankedRows > 0)
        add(
            commentLine(formatText("left out: %d row(s) for ion pairs that a reference named "
                                   "earlier lists;",
                                   selection.outrankedRows)));
    if (selection.sameSignRows > 0)
        add(
            commentLine(formatText("left out: %d row(s) that do not pair a cation with an anion "
                                   "(homoatomic and same-sign values, not for ionic sums);",
                                   selection.sameSignRows)));
    if (selection.repeatedRows > 0)
        add(commentLine(formatText("left out: %d row(s) repeating an earlier row word for word;",
                                   selection.repeatedRows)));
    add(commentLine(named.empty() ? "the reference section lists every reference."
                                  : "the reference section lists only " + named + "."));
    add(commentLine("The comments of the source table follow, with its copyright notice."));
    add(commentLine(""));
    for (const std::string& comment : comments) add(commentLine(comment));
    add(commentLine(""));
    for (const Row& row : selection.rows) add(dataLine(row));
    add(tarnell::ReferenceHeader);
    add(commentLine("id reference"));
    for (const Reference& reference : references) add("   " + referenceEntry(reference));
    return text;
}

// The engine must find in the table exactly the rows and references meant for it.
void checkReadBack(const std::filesystem::path& path, const Selection& selection,
                   const std::vector<Reference>& references) {
    tarnell::ParameterTable table;
    if (const tarnell::Status loaded = tarnell::loadParameterTable(path, table); !loaded.ok())
        fail("read back: " + loaded.text(tarnell::Program::Engine));
    // A copied comment may happen to have a number as its fifth word; as its first word is ";",
    // which is no element, it never pairs with a site and does no harm.
    std::erase_if(table.lines,
                  [](const tarnell::ParameterLine& line) { return line.cation == ";"; });
    if (table.lines.size() != selection.rows.size())
        fail(formatText("read back: the engine finds %zu data lines instead of %zu",
                        table.lines.size(), selection.rows.size()));
    for (std::size_t i = 0; i < table.lines.size(); ++i) {
        const tarnell::ParameterLine& line = table.lines[i];
        const Row& row = selection.rows[i];
        if (line.cation != row.cation || std::to_string(line.cationValence) != row.cationValence ||
            line.anion != row.anion || std::to_string(line.anionValence) != row.anionValence ||
            line.r0 != row.r0 || line.reference != row.reference || line.b != row.b)
            fail("read back: the engine reads \"" + dataLine(row) + "\" differently");
    }
    std::vector<std::string> entries;
    if (const tarnell::Status read =
            tarnell::readReferenceList(path, static_cast<int>(references.size()), entries);
        !read.ok())
        fail("read back: " + read.text(tarnell::Program::Engine));
    for (std::size_t i = 0; i < references.size(); ++i)
        if (i >= entries.size() || entries[i] != referenceEntry(references[i]))
            fail("read back: reference " + references[i].id + " is not read as written");
}

// Cases the engine can read but that are likely not meant; they are reported, not refused.
void warnAboutUse(const Selection& selection, const std::vector<Reference>& references,
                  double bvB) {
    std::map<std::pair<std::string, std::string>, int> alternatives;
    for (const Row& row : selection.rows) {
        const bool known = std::any_of(references.begin(), references.end(),
                                       [&](const Reference& r) { return r.id == row.reference; });
        if (!known)
            std::fprintf(stderr, "make_bvtable: warning: \"%s\" cites no listed reference\n",
                         dataLine(row).c_str());
        // The distance list's sums take only the lines of BV-B as alternatives.
        if (std::fabs(row.b - bvB) <= BTolerance) ++alternatives[{row.cation, row.anion}];
    }
    for (const auto& [pair, count] : alternatives)
        if (count > tarnell::MaxParameterSets)
            std::fprintf(stderr,
                         "make_bvtable: warning: %s-%s has %d alternatives; the engine stops at "
                         "a bond of this pair (at most %d)\n",
                         pair.first.c_str(), pair.second.c_str(), count, tarnell::MaxParameterSets);
}

int run(const Options& options) {
    const std::vector<std::string> comments = leadingComments(options.input);
    cif::Document document = cif::read_file(options.input);
    cif::Block* block = nullptr;
    for (cif::Block& candidate : document.blocks)
        if (candidate.find_values("_valence_param_atom_1").item()) {
            block = &candidate;
            break;
        }
    if (!block) fail(options.input + ": no _valence_param_ loop");

    std::vector<Reference> references = readReferences(*block);
    if (!options.references.empty()) {
        for (const std::string& id : options.references)
            if (std::none_of(references.begin(), references.end(),
                             [&](const Reference& r) { return r.id == id; }))
                fail("reference " + id + " is not listed");
        std::erase_if(references, [&](const Reference& r) { return !rankOf(options, r.id); });
    }
    if (references.size() > static_cast<std::size_t>(tarnell::MaxReferences))
        fail(formatText("%zu references; the engine lists at most %d", references.size(),
                        tarnell::MaxReferences));
    const Selection selection = selectRows(*block, options);
    if (selection.rows.empty())
        fail(options.onlyB ? "no parameter row with B = " + options.bText : "no parameter row");
    // The BV-B that Tarnell.ini ships.
    constexpr double ShippedBvB = 0.37;
    warnAboutUse(selection, references, options.onlyB.value_or(ShippedBvB));

    // Written beside the output and moved over it only when sound, so that a refused table
    // never stands where the engine looks for one.
    const std::filesystem::path output = options.output;
    std::filesystem::path scratch = output;
    scratch += ".part";
    try {
        {
            std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
            out << tableText(options, block->name, comments, selection, references);
            if (!out.flush()) fail(scratch.string() + ": cannot be written");
        }
        checkReadBack(scratch, selection, references);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(scratch, ignored);
        throw;
    }
    std::filesystem::rename(scratch, output);
    std::printf("make_bvtable: %zu data lines from %d rows of %s, %zu references\n",
                selection.rows.size(), selection.sourceRows, options.input.c_str(),
                references.size());
    std::printf("EntryNum %zu\n", references.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parseOptions(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_bvtable: %s\n", e.what());
        return 1;
    }
}
