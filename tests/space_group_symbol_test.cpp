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

Read readFile(ReaderMode mode, const std::string& text, const Wording& wording = EngineWording) {
    test::TempDir dir;
    test::writeFile(dir / "in", text);
    Read r;
    r.status =
        test::codeOf(readStructure(mode, dir / "in", r.structure,
                                   ReaderContext{wording, 3.0, Source / "data" / "sgtrans.dat"}),
                     r.message);
    return r;
}

std::string icsd(const std::string& cell, const std::string& group) {
    return " COL  ICSD 1\n FORM Ba O\n CELL " + cell + "\n SGR  " + group +
           "\n PARM Atom__No OxStat Wyck -----X----- -----Y----- -----Z----- -SOF-\n"
           "  BA 1 2.000 4a 0 0 0\n  O 1 -2.000 4b 0.5 0.5 0.5\n WYCK b a\n";
}

// The qualifier and number stand wherever the export puts them; symbol and number must agree.
TEST(SpaceGroupSymbol, IcsdExportsGiveTheSettingTheirSymbolNames) {
    const std::string hexagonal = "a=5 b=5 c=14 α=90. β=90. γ=120.";
    const std::string monoclinic = "a=6.8 b=7.0 c=6.5 α=90. β=103.4(1) γ=90.";
    const std::string cubic = "a=8 b=8 c=8 α=90. β=90. γ=90.";
    const std::tuple<std::string, std::string, int, int> cases[] = {
        {hexagonal, "R -3 R (148) - trigonal", 148, 2},
        {cubic, "P -1 (2)", 2, 1},
        {monoclinic, "P 21/n (14)", 14, 2},
        {cubic, "F d -3 m Z (227)", 227, 2},
        {cubic, "F d -3 m S (227)", 227, 1},
        {cubic, "Fm-3m (225)", 225, 1}};
    for (const auto& [cell, group, number, setting] : cases) {
        const Read r = readFile(ReaderMode::IcsdText, icsd(cell, group));
        ASSERT_EQ(r.status, 0) << group << r.message;
        EXPECT_EQ(std::tie(r.structure.sgNumber, r.structure.sgSetting), std::tie(number, setting))
            << group;
        EXPECT_EQ(r.structure.sites[0].name, "Ba1");  // "BA" column: barium, not boron
    }
    const std::pair<std::string, std::string> refusals[] = {
        {"P 21/c (15)", "Space group symbol P 21/c and number 15 contradict each other"},
        {"P 21/q (14)", "Space group P 21/q (14) is not known"}};
    for (const auto& [group, text] : refusals) {
        EXPECT_EQ(readFile(ReaderMode::IcsdText, icsd(monoclinic, group)).message,
                  "  Error !!!  " + text + ".\n");
        EXPECT_EQ(readFile(ReaderMode::IcsdText, icsd(monoclinic, group), FrontEndWording).message,
                  "  " + text + " !!!\n");
    }
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
        EXPECT_EQ(readFile(ReaderMode::NativeFile, native(symbol, number, setting), FrontEndWording)
                      .message,
                  "  " + std::string(refusal) + " each other !!!\n");
    }
}

// A listing in P b n m axes is converted to the standard ones, like an ICSD export.
TEST(SpaceGroupSymbol, ListingInAnotherSettingIsConverted) {
    const std::string text =
        " MORVEK listing\n           Phase #1: Forsterite\n           Space group: P b n m  "
        "(Pbnm, 62)\n                 a         b         c      alpha      beta     gamma\n"
        "           4.75350  10.19430   5.98070  90.00000  90.00000  90.00000\n"
        "           0.00040   0.00050   0.00040     -         -         -\n"
        "                        neq  *   g    =   n       x         y         z\n"
        "  Si1   4   1.00000   4.0000   0.42645   0.09403   0.25000\n"
        "           -     -        -   0.00004   0.00002   -\n";
    const Read r = readFile(ReaderMode::MorvekListing, text);
    ASSERT_EQ(r.status, 0) << r.message;
    EXPECT_EQ(r.structure.sgName, "P n m a");
    const Site& si = r.structure.sites[0];
    const std::array<double, 6> cell{10.1943, 5.9807, 4.7535, 0.09403, 0.25, 0.42645};
    const std::array<double, 6> read{
        r.structure.cell[0], r.structure.cell[1], r.structure.cell[2], si.x, si.y, si.z};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(read[i], cell[i], 1e-12) << i;
}

TEST(StructureReader, DirectoryAndUnreadableInputEndWithOneLine) {
    test::TempDir dir;
    CrystalStructure s;
    std::string message;
    const ReaderContext context{EngineWording, 3.0, {}};
    EXPECT_EQ(test::codeOf(readStructure(ReaderMode::CifFile, dir.path(), s, context), message),
              -1);
    EXPECT_EQ(message,
              "  Error !!!  " + dir.path().string() + " is a directory, not a structure file.\n");
}

}  // namespace
}  // namespace tarnell
