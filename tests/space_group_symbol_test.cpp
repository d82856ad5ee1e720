// Labels and space-group symbols as real files write them, in every reader.
#include "structure/space_group_symbol.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "structure/site_label.h"
#include "structure/structure_reader.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Source = TARNELL_SOURCE_DIR;

TEST(SiteLabel, LabelIsMadeToTellTheElementOfItsTypeSymbol) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"BA1", "Ba2+", "Ba1"},  // read as boron before
        {"CS", "Cs+", "Cs"},    {"FE1", "FE3+", "Fe1"},
        {"M1", "Cu", "CuM1"},    // a site named by its position
        {"Os1", "O2-", "OOs1"},  // mended case would still read as osmium
        {"OS1", "O", "OS1"},     // already oxygen under the label rule
        {"Ba1", "Ba", "Ba1"},   {"O1", "O-2", "O1"},
        {"Wat", "Wat", "Wat"},  // no element: the label rule stays
        {"Ow1", "H2O", "Ow1"},  {"C1", "Du", "C1"},
        {"Na1", "", "Na1"}};
    for (const auto& [label, type, expected] : cases) {
        EXPECT_EQ(labelWithElement(label, elementOfTypeSymbol(type)), expected) << label << type;
    }
}

struct Expected {
    int number;
    int setting;  // 0: not held, the operators come along
    int axes;
    const char* uniqueAxis;
};

TEST(SpaceGroupSymbol, SymbolsAsFilesWriteThemNameGroupAndSetting) {
    const std::array<double, 6> monoclinic{6.8, 7.0, 6.5, 90, 103.4, 90};
    const std::array<double, 6> gammaUnique{6.8, 7.0, 6.5, 90, 90, 103.4};
    const std::array<double, 6> hexagonal{5, 5, 14, 90, 90, 120};
    const std::array<double, 6> rhombohedral{5.4, 5.4, 5.4, 55, 55, 55};
    const std::tuple<const char*, std::array<double, 6>, Expected> cases[] = {
        {"P 21/n", monoclinic, {14, 2, 1, "b"}},
        {"P21/n", monoclinic, {14, 2, 1, "b"}},
        {"P 1 21/n 1", monoclinic, {14, 2, 1, "b"}},
        {"P 21/c", monoclinic, {14, 1, 1, "b"}},
        {"C 2/c", monoclinic, {15, 1, 1, "b"}},
        {"P 21/a", gammaUnique, {14, 4, 1, "c"}},  // short symbol: the cell tells the axis
        {"P 1 1 21/b", monoclinic, {14, 6, 1, "c"}},
        {"Pbnm", hexagonal, {62, 1, 3, ""}},
        {"P b n m", hexagonal, {62, 1, 3, ""}},
        {"Pnma", hexagonal, {62, 1, 1, ""}},
        {"Cmce", hexagonal, {64, 1, 1, ""}},
        {"Fd-3m", hexagonal, {227, 1, 1, ""}},
        {"F d -3 m S", hexagonal, {227, 1, 1, ""}},
        {"F d -3 m Z", hexagonal, {227, 2, 1, ""}},
        {"Fd-3m:2", hexagonal, {227, 2, 1, ""}},
        {"R -3 R", hexagonal, {148, 2, 1, ""}},
        {"R -3", hexagonal, {148, 1, 1, ""}},
        {"R -3", rhombohedral, {148, 2, 1, ""}},
        {"R 3 m H", rhombohedral, {160, 1, 1, ""}},
        {"P -1", hexagonal, {2, 1, 1, ""}},
        {"C -1", hexagonal, {2, 0, 1, ""}},
        {"I -1", hexagonal, {2, 0, 1, ""}}};
    for (const auto& [symbol, cell, expected] : cases) {
        const std::vector<NamedSetting> named = settingsOfSymbol(symbol, cell);
        ASSERT_FALSE(named.empty()) << symbol;
        const NamedSetting& s = named.front();
        EXPECT_EQ(std::tie(s.number, s.setting, s.axes, s.uniqueAxis),
                  std::tuple(expected.number, expected.setting, expected.axes,
                             std::string(expected.uniqueAxis)))
            << symbol;
        EXPECT_EQ(s.operators.empty(), s.number == 0) << symbol;
    }
    for (const char* unknown : {"Q 1", "P 99", "", "P 63/m m c 194"}) {
        EXPECT_TRUE(settingsOfSymbol(unknown, hexagonal).empty()) << unknown;
    }
}

struct Read {
    int status = 0;
    CrystalStructure structure;
    std::string message;
};

Read readFile(ReaderMode mode, const std::string& text, Program wording = Program::Engine) {
    test::TempDir dir;
    test::writeFile(dir / "in", text);
    Read r;
    r.status = test::codeOf(readStructure(mode, dir / "in", r.structure,
                                          ReaderContext{3.0, Source / "data" / "sgtrans.dat"}),
                            r.message, wording);
    return r;
}

std::string native(const std::string& symbol, int number, int setting) {
    return "# Title\nBaO\n# Name of space group\n" + symbol +
           "\n# Number and setting number of space group\n" +
           formatText("%3d   %d\n", number, setting) +
           "# Unit cell parameters\n  5.5 5.5 5.5 90 90 90\n  0 0 0 0 0 0\n# Number of sites\n"
           "  1\n# Crystal data: name, g, x, y, z, charge, d-limit\n"
           "  Ba1 1 0 0 0 2 3\n   0 0 0\n";
}

// A native file states number and setting; a symbol that names another setting leaves open which
// of the two its coordinates follow. Spelling and what the symbol leaves open are no contradiction.
TEST(SpaceGroupSymbol, NativeFileWhoseSymbolNamesAnotherSettingIsRefused) {
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"P b n m", 62, 1, "Space group symbol P b n m and number 62 setting 1 contradict"},
        {"P 1 21/c 1", 14, 2, "Space group symbol P 1 21/c 1 and number 14 setting 2 contradict"},
        {"P 21/c", 15, 1, "Space group symbol P 21/c and number 15 contradict"},
        {"P 21/n", 14, 2, nullptr},
        {"P n m a", 62, 1, nullptr},
        {"F d -3 m", 227, 2, nullptr},
        {"Fd-3m", 227, 1, nullptr},
        {"my own name", 14, 2, nullptr}};
    for (const auto& [symbol, number, setting, refusal] : cases) {
        const Read r = readFile(ReaderMode::NativeFile, native(symbol, number, setting));
        if (refusal == nullptr) {
            EXPECT_EQ(r.status, 0) << symbol << r.message;
            continue;
        }
        EXPECT_EQ(r.message, "  Error !!!  " + std::string(refusal) + " each other.\n");
        EXPECT_EQ(
            readFile(ReaderMode::NativeFile, native(symbol, number, setting), Program::FrontEnd)
                .message,
            "  " + std::string(refusal) + " each other !!!\n");
    }
}

TEST(StructureReader, DirectoryAndUnreadableInputEndWithOneLine) {
    test::TempDir dir;
    CrystalStructure s;
    std::string message;
    const ReaderContext context{3.0, {}};
    EXPECT_EQ(test::codeOf(readStructure(ReaderMode::CifFile, dir.path(), s, context), message),
              -1);
    EXPECT_EQ(message,
              "  Error !!!  " + dir.path().string() + " is a directory, not a structure file.\n");
}

}  // namespace
}  // namespace tarnell
