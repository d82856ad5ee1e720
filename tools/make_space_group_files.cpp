// make_space_group_files <output-folder>: writes the two space-group files that every working
// directory holds, spgra.dat (one record of operators per space group and setting) and
// sgtrans.dat (the symbols of the monoclinic cell choices and of the six orthorhombic settings),
// from gemmi's space-group tables.
//
// Operators and translations are handled exactly, as gemmi holds them: rotations and
// translations in units of 1/24 (gemmi::Op::DEN). Anything the files cannot state exactly, or a
// table entry that is not what the settings below expect, stops the tool before it writes a file.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <gemmi/symmetry.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "crystal/operator_expansion.h"
#include "settings/text.h"
#include "structure/space_group_lookup.h"

namespace {

using tarnell::formatText;

constexpr int Den = gemmi::Op::DEN;

// Width of a symbol field of the setting-transformation file.
constexpr std::size_t SymbolFieldWidth = 10;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

// The entry of gemmi's table for one setting. The table lists each group's settings in the order
// of the International Tables before its extra, non-standard entries, so the first match is the
// standard one. ext 0 asks for the entry without an origin or axes qualifier, or origin choice 1.
const gemmi::SpaceGroup& findEntry(int number, const std::string& qualifier, char ext) {
    for (const gemmi::SpaceGroup& group : gemmi::spacegroup_tables::main) {
        if (group.number != number || qualifier != group.qualifier) continue;
        if (group.ext == ext || (ext == 0 && (group.ext == '1' || group.ext == 'H'))) return group;
    }
    fail(formatText("space group %d %s%c is not in gemmi's table", number, qualifier.c_str(),
                    ext ? ext : ' '));
}

bool hasEntry(int number, const std::string& qualifier, char ext) {
    return std::any_of(
        std::begin(gemmi::spacegroup_tables::main), std::end(gemmi::spacegroup_tables::main),
        [&](const gemmi::SpaceGroup& group) {
            return group.number == number && qualifier == group.qualifier && group.ext == ext;
        });
}

constexpr int groupsWithCellChoices[] = {5, 7, 8, 9, 12, 13, 14, 15};
constexpr int groupsWithTwoOrigins[] = {48,  50,  59,  68,  70,  85,  86,  88,  125, 126, 129, 130,
                                        133, 134, 137, 138, 141, 142, 201, 203, 222, 224, 227, 228};
constexpr int groupsWithRhombohedralAxes[] = {146, 148, 155, 160, 161, 166, 167};

template <std::size_t Size>
bool contains(const int (&numbers)[Size], int number) {
    return std::ranges::find(numbers, number) != std::end(numbers);
}

// Monoclinic settings 1-9: cell choices 1-3 on the unique axes b, c, a.
std::string monoclinicQualifier(int number, int setting) {
    const char axis = "bca"[(setting - 1) / 3];
    if (!contains(groupsWithCellChoices, number)) return std::string(1, axis);
    return std::string(1, axis) + char('1' + (setting - 1) % 3);
}

struct Setting {
    int number = 0;
    int setting = 0;
    const gemmi::SpaceGroup* entry = nullptr;
};

// Every record of the data file, in file order.
std::vector<Setting> listSettings() {
    std::vector<Setting> settings;
    for (int number = 1; number <= 230; ++number) {
        if (number >= 3 && number <= 15) {
            const bool cellChoices = contains(groupsWithCellChoices, number);
            for (int setting = 1; setting <= 9; ++setting)
                if (cellChoices || setting % 3 == 1)
                    settings.push_back(
                        {number, setting,
                         &findEntry(number, monoclinicQualifier(number, setting), 0)});
            continue;
        }
        settings.push_back({number, 1, &findEntry(number, "", 0)});
        const bool twoOrigins = hasEntry(number, "", '2');
        const bool rhombohedral = hasEntry(number, "", 'R');
        if (twoOrigins != contains(groupsWithTwoOrigins, number) ||
            rhombohedral != contains(groupsWithRhombohedralAxes, number))
            fail(formatText("gemmi lists other settings of space group %d than expected", number));
        if (twoOrigins) settings.push_back({number, 2, &findEntry(number, "", '2')});
        if (rhombohedral) settings.push_back({number, 2, &findEntry(number, "", 'R')});
    }
    return settings;
}

// The centring code of the records for a lattice letter.
int centringCodeOf(char letter) {
    constexpr std::string_view Letters = "PABCFIR";
    constexpr std::array<int, 7> Codes = {0, 4, 5, 6, 7, 13, 14};
    const std::size_t index = Letters.find(letter);
    if (index == std::string_view::npos)
        fail(formatText("no centring code for lattice %c", letter));
    return Codes[index];
}

// Whether gemmi's centring translations are those the engine adds for the code; the engine's
// rhombohedral ones are written to six digits.
bool sameCentring(const gemmi::GroupOps& ops, int code) {
    const std::vector<std::array<double, 3>> expected = tarnell::centringVectors(code);
    if (ops.cen_ops.empty() || ops.cen_ops[0] != gemmi::Op::Tran{0, 0, 0} ||
        ops.cen_ops.size() != expected.size() + 1)
        return false;
    return std::all_of(ops.cen_ops.begin() + 1, ops.cen_ops.end(), [&](const gemmi::Op::Tran& t) {
        return std::any_of(expected.begin(), expected.end(), [&](const std::array<double, 3>& v) {
            for (int i = 0; i < 3; ++i)
                if (std::fabs(static_cast<double>(t[i]) / Den - v[i]) > 1e-5) return false;
            return true;
        });
    });
}

// "+1/4" for 6/24 and so on; 5/6 is written -1/6 because the operator alphabet has no 5.
std::string translationText(int numerator) {
    switch (numerator) {
        case 0:
            return "";
        case 4:
            return "+1/6";
        case 6:
            return "+1/4";
        case 8:
            return "+1/3";
        case 12:
            return "+1/2";
        case 16:
            return "+2/3";
        case 18:
            return "+3/4";
        case 20:
            return "-1/6";
    }
    fail(formatText("translation %d/24 cannot be written with one-digit fractions", numerator));
}

// Coordinate terms first, the translation last, so that no number stands before a letter.
std::string operatorText(gemmi::Op op) {
    op.wrap();
    std::string text;
    for (int i = 0; i < 3; ++i) {
        std::string component;
        for (int j = 0; j < 3; ++j) {
            const int coefficient = op.rot[i][j];
            if (coefficient == 0) continue;
            if (coefficient != Den && coefficient != -Den)
                fail("rotation element other than 0, 1, -1 in " + op.triplet());
            if (coefficient < 0)
                component += '-';
            else if (!component.empty())
                component += '+';
            component += "xyz"[j];
        }
        if (component.empty()) fail("empty row in " + op.triplet());
        if (i > 0) text += ',';
        text += component + translationText(op.tran[i]);
    }
    return text;
}

struct Record {
    Setting setting;
    int laueIndex = 0;
    int centrosymmetricFlag = 0;
    std::array<int, 14> codes{};
    std::vector<std::string> operators;
};

// 0, 1, 2 for a, b, c: the axis along which the proper twofold rotation keeps its coordinate.
int monoclinicUniqueAxis(const gemmi::GroupOps& ops) {
    for (const gemmi::Op& op : ops.sym_ops) {
        const gemmi::Op::Rot proper = op.det_rot() > 0 ? op.rot : op.negated_rot();
        if (proper == gemmi::Op::identity().rot) continue;
        for (int i = 0; i < 3; ++i)
            if (proper[i][i] == Den) return i;
    }
    fail("monoclinic group without a twofold axis");
}

int laueIndexOf(const Setting& setting, const gemmi::GroupOps& ops) {
    const bool rhombohedralAxes = setting.entry->ext == 'R';
    switch (setting.entry->laue_class()) {
        case gemmi::Laue::L1:
            return 1;
        case gemmi::Laue::L2m: {
            const int axis = monoclinicUniqueAxis(ops);
            if ("abc"[axis] != setting.entry->qualifier[0])
                fail(formatText("space group %d setting %d: unique axis differs from its qualifier",
                                setting.number, setting.setting));
            return std::array{4, 2, 3}[axis];
        }
        case gemmi::Laue::Lmmm:
            return 5;
        case gemmi::Laue::L4m:
            return 6;
        case gemmi::Laue::L4mmm:
            return 7;
        case gemmi::Laue::L3:
            return rhombohedralAxes ? 9 : 8;
        case gemmi::Laue::L3m:
            return rhombohedralAxes ? 11 : 10;
        case gemmi::Laue::L6m:
            return 12;
        case gemmi::Laue::L6mmm:
            return 13;
        case gemmi::Laue::Lm3:
            return 14;
        case gemmi::Laue::Lm3m:
            return 15;
    }
    fail("unknown Laue class");
}

Record makeRecord(const Setting& setting) {
    const gemmi::GroupOps ops = setting.entry->operations();
    if (ops.sym_ops.empty() || ops.sym_ops[0] != gemmi::Op::identity())
        fail(formatText("space group %d: identity is not the first operator", setting.number));

    const int centringCode = centringCodeOf(setting.entry->centring_type());
    if (!sameCentring(ops, centringCode))
        fail(formatText("space group %d setting %d: centring translations differ from code %d",
                        setting.number, setting.setting, centringCode));

    Record record;
    record.setting = setting;
    const gemmi::Op inversion{gemmi::Op::identity().negated_rot(), {0, 0, 0}};
    for (const gemmi::Op& op : ops)  // every operator, centring translations included
        if (op == inversion) record.centrosymmetricFlag = 1;

    // With the inversion at the origin the engine adds (-R, t) for every listed (R, t): that is
    // (R, t) followed by the inversion, so listing the rotations of determinant +1 suffices.
    for (const gemmi::Op& op : ops.sym_ops)
        if (record.centrosymmetricFlag == 0 || op.det_rot() > 0)
            record.operators.push_back(operatorText(op));

    const int listed = static_cast<int>(record.operators.size());
    const int expanded =
        tarnell::expandedOperatorCount(listed, record.centrosymmetricFlag, centringCode);
    if (expanded != ops.order() || expanded > tarnell::MaxOperators)
        fail(formatText("space group %d setting %d would expand to %d operators, not %d",
                        setting.number, setting.setting, expanded, ops.order()));

    record.laueIndex = laueIndexOf(setting, ops);
    record.codes[0] = static_cast<int>(tarnell::crystalSystemOfLaueIndex(record.laueIndex));
    record.codes[1] = static_cast<int>(ops.sym_ops.size());
    record.codes[2] = static_cast<int>(ops.cen_ops.size());
    record.codes[6] = centringCode;
    return record;
}

// The symbol as the current International Tables write it: gemmi keeps the older e-glide symbols
// (C m c a) in its main table and the current ones (C m c e) among its alternative names.
std::string currentSymbol(const gemmi::SpaceGroup& entry) {
    const int position = static_cast<int>(&entry - gemmi::spacegroup_tables::main);
    for (const gemmi::SpaceGroupAltName& alternative : gemmi::spacegroup_tables::alt_names)
        if (alternative.pos == position) return alternative.hm;
    return entry.hm;
}

std::string dataFileText() {
    std::string text;
    for (const Setting& setting : listSettings()) {
        const Record record = makeRecord(setting);
        text +=
            formatText("%3d%3d%3d%3d%3d   %s\n", setting.number, setting.setting, record.laueIndex,
                       record.centrosymmetricFlag, static_cast<int>(record.operators.size()),
                       currentSymbol(*setting.entry).c_str());
        for (int code : record.codes) text += formatText("%2d", code);
        text += '\n';
        for (const std::string& op : record.operators) text += op + '\n';
    }
    return text;
}

// A line of the setting-transformation file: texts placed at 1-based columns, blank-padded to
// the end of the last symbol field so that every field is complete.
class FieldLine {
public:
    void place(std::size_t column, const std::string& text) {
        if (column - 1 + text.size() > line_.size()) line_.resize(column - 1 + text.size(), ' ');
        line_.replace(column - 1, text.size(), text);
    }
    void placeSymbol(std::size_t column, const std::string& symbol) {
        if (symbol.size() > SymbolFieldWidth)
            fail("symbol " + symbol + " does not fit its 10-character field");
        place(column, symbol);
    }
    std::string text() const { return line_ + '\n'; }

private:
    std::string line_ = std::string(75, ' ');
};

// Orthorhombic settings 1-6 by their axes, and the rows a', b', c' of each as combinations of
// the standard a, b, c; these signed permutations are the matrices of the engine's conversion.
const std::array<std::string, 6> axes = {"", "ba-c", "cab", "-cba", "bca", "a-cb"};
const std::array<gemmi::Op::Rot, 6> axesMatrices = {{
    {{{Den, 0, 0}, {0, Den, 0}, {0, 0, Den}}},
    {{{0, Den, 0}, {Den, 0, 0}, {0, 0, -Den}}},
    {{{0, 0, Den}, {Den, 0, 0}, {0, Den, 0}}},
    {{{0, 0, -Den}, {0, Den, 0}, {Den, 0, 0}}},
    {{{0, Den, 0}, {0, 0, Den}, {Den, 0, 0}}},
    {{{Den, 0, 0}, {0, 0, -Den}, {0, Den, 0}}},
}};

// The symbol of orthorhombic setting k (0-5). The engine converts a structure found in setting k
// with that setting's matrix and then expands the standard record, so the symbol must name the
// group that the matrix makes of the standard one. gemmi leaves out a setting whose symbol is the
// standard one (P 2 2 2, P 2 2 21 on ba-c); the standard symbol then stands in its field, and the
// lookup, which takes the first field that matches, keeps such a structure in setting 1.
std::string orthorhombicSymbol(int number, std::size_t k) {
    const gemmi::SpaceGroup& standard = findEntry(number, "", 0);
    if (!hasEntry(number, axes[k], standard.ext)) return standard.hm;
    const gemmi::SpaceGroup& entry = findEntry(number, axes[k], standard.ext);
    // Both origin choices are converted with the same matrix.
    for (char origin : {standard.ext, '2'}) {
        if (origin == '2' && !hasEntry(number, "", '2')) continue;
        gemmi::GroupOps converted = findEntry(number, "", origin).operations();
        // coordinates in setting k are the matrix times the standard ones (it is orthogonal)
        converted.change_basis_forward(gemmi::Op{axesMatrices[k], {0, 0, 0}});
        const gemmi::SpaceGroup& named = findEntry(number, axes[k], origin);
        if (std::string(named.hm) != entry.hm || !converted.is_same_as(named.operations()))
            fail(formatText("space group %d: gemmi's setting %s is not the standard one on axes %s",
                            number, named.qualifier, axes[k].c_str()));
    }
    return entry.hm;
}

// The symbols are those of gemmi's main table: for the e-glide groups (39, 41, 64, 67, 68) these
// are the older symbols (C m c a, A b m 2), which the ICSD exports matched against this file use.
std::string transformationFileText() {
    std::string text =
        "Setting-transformation file of Tarnell and Kestrin: the Hermann-Mauguin symbols of the\n"
        "monoclinic cell choices and of the six orthorhombic settings.\n"
        "Monoclinic: a group with cell choices has three lines, for cell choices 1, 2, 3.\n";
    FieldLine heading;
    heading.place(1, "No.  cell choice");
    heading.place(22, "unique axis b");
    heading.place(44, "unique axis c");
    heading.place(66, "unique axis a");
    text += heading.text();
    for (int number = 3; number <= 15; ++number) {
        const bool cellChoices = contains(groupsWithCellChoices, number);
        for (int choice = 1; choice <= (cellChoices ? 3 : 1); ++choice) {
            FieldLine line;
            // Only the first line of a group starts with a number: the lookup takes any line
            // that does for the line of that group.
            if (choice == 1) line.place(1, formatText("%3d", number));
            if (cellChoices) line.place(6, formatText("cell choice %d", choice));
            for (int axis = 0; axis < 3; ++axis)
                line.placeSymbol(
                    22 + 22 * axis,
                    findEntry(number, monoclinicQualifier(number, 3 * axis + choice), 0).hm);
            text += line.text();
        }
    }
    text += "Orthorhombic: settings 1 to 6; setting 1 is the standard one.\n";
    heading = FieldLine();
    heading.place(1, "No.");
    for (std::size_t k = 0; k < axes.size(); ++k)
        heading.place(11 + 11 * k, k == 0 ? "abc" : axes[k]);
    text += heading.text();
    for (int number = 16; number <= 74; ++number) {
        FieldLine line;
        line.place(1, formatText("%3d", number));
        for (std::size_t k = 0; k < axes.size(); ++k)
            line.placeSymbol(11 + 11 * k, orthorhombicSymbol(number, k));
        text += line.text();
    }
    return text;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) fail("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_space_group_files <output-folder>\n");
        return 2;
    }
    try {
        // Both texts are complete and checked before either file is touched.
        const std::string dataFile = dataFileText();
        const std::string transformationFile = transformationFileText();
        const std::filesystem::path folder = argv[1];
        writeFile(folder / "spgra.dat", dataFile);
        writeFile(folder / "sgtrans.dat", transformationFile);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_space_group_files: %s\n", error.what());
        return 1;
    }
    return 0;
}
