#include "structure/space_group_lookup.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::TempDir;
using test::writeFile;

// A line of the setting-transformation file: `lead` from column 1, each symbol in its
// 10-character field at the given 1-based column.
std::string settingLine(const std::string& lead,
                        std::initializer_list<std::pair<int, const char*>> fields) {
    std::string line = lead;
    for (const auto& [column, symbol] : fields) {
        line.resize(static_cast<std::size_t>(column - 1), ' ');
        line += symbol;
    }
    return line + "\n";
}

std::string monoclinicLines(const char* number, const char* b, const char* c, const char* a) {
    return settingLine(number, {{22, b}, {44, c}, {66, a}});
}

// Group 14 with its three cell choices on each unique axis, and group 4 without cell choices.
std::string settingFile() {
    return "Orthorhombic\n"
           "  No.     abc        ba-c       cab        -cba       bca        a-cb\n" +
           settingLine(" 62", {{11, "P n m a"},
                               {22, "P m n b"},
                               {33, "P b n m"},
                               {44, "P c m n"},
                               {55, "P m c n"},
                               {66, "P n a m"}}) +
           "Monoclinic\n"
           "  No.  choice        unique b              unique c              unique a\n" +
           monoclinicLines("  4", "P 1 21 1", "P 1 1 21", "P 21 1 1") +
           monoclinicLines(" 14", "P 1 21/c 1", "P 1 1 21/a", "P 21/b 1 1") +
           monoclinicLines("   choice 2", "P 1 21/n 1", "P 1 1 21/n", "P 21/n 1 1") +
           monoclinicLines("   choice 3", "P 1 21/a 1", "P 1 1 21/b", "P 21/c 1 1");
}

CrystalStructure monoclinic(int number, const char* symbol, const char* uniqueAxis) {
    CrystalStructure s;
    s.sgNumber = number;
    s.sgName = symbol;
    s.uniqueAxis = uniqueAxis;
    return s;
}

TEST(SettingLookup, MonoclinicCellChoiceGivesTheSettingOfItsUniqueAxis) {
    TempDir dir;
    writeFile(dir / "sgtrans.dat", settingFile());
    struct Case {
        const char* symbol;
        const char* axis;
        int setting;
    };
    const Case cases[] = {
        {"P 1 21/n 1", "b", 2},
        {"P 1 1 21/n", "c", 5},
        {"P 21/n 1 1", "a", 8},
        {"P 1 21/c 1", "b", 1},
        {"P 1 1 21/b", "c", 6},
        {"P 21/c 1 1", "a", 9},
        // The older ICSD layout's 10-character cut may take in the group number's parenthesis.
        {"P 1 21/n(", "b", 2},
        // Prefix test over the symbol's length.
        {"P 1 21/a", "b", 3},
        // No unique axis, or a symbol that matches no field: the setting stays as read.
        {"P 1 21/n 1", "", 7},
        {"P 1 21/x 1", "b", 7},
        {"", "b", 7},
    };
    // Both programs number the settings alike.
    for (const Wording* wording : {&EngineWording, &FrontEndWording}) {
        for (const Case& c : cases) {
            CrystalStructure s = monoclinic(14, c.symbol, c.axis);
            s.sgSetting = 7;
            std::string message;
            ASSERT_EQ(resolveSpaceGroupSetting(SettingLookup::Monoclinic, s, dir / "sgtrans.dat",
                                               *wording, message),
                      0)
                << message;
            EXPECT_EQ(s.sgSetting, c.setting) << c.symbol << " axis " << c.axis;
            EXPECT_EQ(s.sgName, c.symbol);  // the record keeps its own symbol
        }
    }
}

TEST(SettingLookup, GroupWithoutCellChoicesTakesTheSettingOfItsAxis) {
    TempDir dir;
    writeFile(dir / "sgtrans.dat", settingFile());
    for (const auto& [axis, setting] : {std::pair{"b", 1}, {"c", 4}, {"a", 7}, {"", 3}}) {
        CrystalStructure s = monoclinic(4, "anything", axis);
        s.sgSetting = 3;
        std::string message;
        ASSERT_EQ(resolveSpaceGroupSetting(SettingLookup::Monoclinic, s, dir / "sgtrans.dat",
                                           FrontEndWording, message),
                  0);
        EXPECT_EQ(s.sgSetting, setting);
    }
}

TEST(SettingLookup, FailuresAreWordedForEachProgram) {
    TempDir dir;
    writeFile(dir / "sgtrans.dat", settingFile());
    CrystalStructure s = monoclinic(11, "P 1 21/m 1", "b");
    std::string message;
    EXPECT_EQ(resolveSpaceGroupSetting(SettingLookup::Monoclinic, s, dir / "sgtrans.dat",
                                       EngineWording, message),
              -1);
    EXPECT_EQ(message, "  P 1 21/m 1 space group not found !!!\n");

    writeFile(dir / "mono-only.dat", "Monoclinic\nheading\n");
    s = monoclinic(62, "P b n m", "");
    EXPECT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, s, dir / "mono-only.dat",
                                       EngineWording, message),
              -1);
    EXPECT_EQ(message, "  Error !!!   Orthorhombic not found.\n");
    EXPECT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, s, dir / "mono-only.dat",
                                       FrontEndWording, message),
              -1);
    EXPECT_EQ(message, "Orthorhombic not found !!!\n");

    EXPECT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, s, dir / "none.dat",
                                       EngineWording, message),
              -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "none.dat").string() + " file not found.\n");
    EXPECT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, s, dir / "none.dat",
                                       FrontEndWording, message),
              -1);
    EXPECT_EQ(message, "  " + (dir / "none.dat").string() + " file not found !!!\n");
}

TEST(SettingLookup, OrthorhombicSettingIsConvertedToTheStandardOne) {
    TempDir dir;
    writeFile(dir / "sgtrans.dat", settingFile());
    CrystalStructure pbnm = monoclinic(62, "P b n m", "");
    pbnm.cell = {5.0, 6.0, 7.0, 90, 90, 90};
    pbnm.cellSigma = {0.001, 0.002, 0.003, 0, 0, 0};
    pbnm.sites = {Site{"O1", 1, 0.1, 0.2, 0.3, 0.01, 0.02, 0.03, -2, 3}};
    std::string message;
    ASSERT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, pbnm, dir / "sgtrans.dat",
                                       EngineWording, message),
              0)
        << message;
    // P b n m is the cab setting of P n m a: c, a, b of the standard cell.
    EXPECT_NEAR(pbnm.cell[0], 6.0, 1e-12);
    EXPECT_NEAR(pbnm.cell[1], 7.0, 1e-12);
    EXPECT_NEAR(pbnm.cell[2], 5.0, 1e-12);
    EXPECT_NEAR(pbnm.cellSigma[2], 0.001, 1e-12);
    EXPECT_NEAR(pbnm.sites[0].x, 0.2, 1e-12);
    EXPECT_NEAR(pbnm.sites[0].y, 0.3, 1e-12);
    EXPECT_NEAR(pbnm.sites[0].z, 0.1, 1e-12);
    EXPECT_NEAR(pbnm.sites[0].sz, 0.01, 1e-12);
    EXPECT_EQ(pbnm.sgSetting, 1);

    // The standard symbol, and one that names no setting, leave the structure as it was.
    for (const char* symbol : {"P n m a", "P 21/n 21/m 21/a"}) {
        CrystalStructure s = monoclinic(62, symbol, "");
        s.cell = {5.0, 6.0, 7.0, 90, 90, 90};
        s.sites = {Site{"O1", 1, 0.1, 0.2, 0.3, 0, 0, 0, -2, 3}};
        ASSERT_EQ(resolveSpaceGroupSetting(SettingLookup::Orthorhombic, s, dir / "sgtrans.dat",
                                           EngineWording, message),
                  0);
        EXPECT_EQ(s.cell[0], 5.0);
        EXPECT_EQ(s.sites[0].x, 0.1);
    }
}

// A data file with three records: one without operators, P 1 21/c 1 and its cell choice 2.
const char* const DataFile =
    "  1  1  1  0  1   P 1\n"
    " 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "x,y,z\n"
    " 14  1  2  1  2   P 1 21/c 1\n"
    " 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "x,y,z\n"
    "-x,y+1/2,-z+1/2\n"
    " 14  2  2  1  2   P 1 21/n 1\n"
    " 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "x,y,z\n"
    "-x+1/2,y+1/2,-z+1/2\n"
    " 99  1  7  0  0   P 4 m m\n"
    "              \n"
    "167  2 11  1  6   R -3 c\n"
    " 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "x,y,z\nz,x,y\ny,z,x\n-y+1/2,-x+1/2,-z+1/2\n-x+1/2,-z+1/2,-y+1/2\n-z+1/2,-y+1/2,-x+1/2\n"
    "225  1 15  1 48   F m -3 m\n"
    " 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";

TEST(SpaceGroupRecord, RecordOfNumberAndSettingGivesItsOperatorsAndSymbol) {
    TempDir dir;
    writeFile(dir / "spgra.dat", DataFile);
    CrystalStructure s;
    s.sgNumber = 14;
    s.sgSetting = 2;
    s.sgName = "P 21/n";
    SpaceGroupRecord record;
    std::string message;
    ASSERT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), 0) << message;
    EXPECT_EQ(s.sgName, "P 1 21/n 1");
    EXPECT_EQ(s.crystalSystem, 2);
    EXPECT_EQ(record.laueIndex, 2);
    EXPECT_EQ(record.centrosymmetricFlag, 1);
    EXPECT_EQ(record.operatorTexts, (std::vector<std::string>{"x,y,z", "-x+1/2,y+1/2,-z+1/2"}));

    // Blank code fields read as 0; a record without operator lines is valid.
    s.sgNumber = 99;
    s.sgSetting = 1;
    ASSERT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), 0) << message;
    EXPECT_EQ(s.crystalSystem, 4);
    EXPECT_EQ(record.operatorLineCount, 0);
    EXPECT_TRUE(record.operatorTexts.empty());
    EXPECT_EQ(record.centringCode(), 0);

    s.sgNumber = 167;
    s.sgSetting = 2;
    ASSERT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), 0) << message;
    EXPECT_EQ(s.crystalSystem, 5);
    EXPECT_EQ(record.operatorTexts.size(), 6u);
}

TEST(SpaceGroupRecord, MissingOrUnusableRecordsAreRefused) {
    TempDir dir;
    writeFile(dir / "spgra.dat", DataFile);
    CrystalStructure s;
    s.sgName = "P 1 21/c 1 (from file)";
    s.sgNumber = 14;
    s.sgSetting = 3;
    SpaceGroupRecord record;
    std::string message;
    EXPECT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), -1);
    EXPECT_EQ(message, "  P 1 21/c 1 (from file) space group not found !!!\n");
    EXPECT_EQ(s.sgName, "P 1 21/c 1 (from file)");

    // The record announces 48 lines and ends after its codes.
    s.sgNumber = 225;
    s.sgSetting = 1;
    EXPECT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), -1);
    EXPECT_NE(message.find("ends before its last line"), std::string::npos);

    EXPECT_EQ(readSpaceGroupRecord(dir / "none.dat", s, record, message), -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "none.dat").string() + " file not found.\n");
}

TEST(SpaceGroupRecord, RecordsTheExpansionCannotHoldAreRefused) {
    TempDir dir;
    std::string text = " 99  1  7  0  1   P 4 m m\n 0 0 0 0 0 0 9 0 0 0 0 0 0 0\nx,y,z\n";
    text += "230  1 15  1 25   I a -3 d\n 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";
    for (int i = 0; i < 25; ++i) text += "x,y,z\n";
    text += "  2  1 16  1  1   P -1\n\n x,y,z\n";
    writeFile(dir / "spgra.dat", text);
    CrystalStructure s;
    SpaceGroupRecord record;
    std::string message;
    s.sgNumber = 99;
    EXPECT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), -1);
    EXPECT_EQ(message, "  Error !!!   Space group 99 setting 1 has an unknown centring code 9.\n");
    s.sgNumber = 230;
    EXPECT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), -1);
    EXPECT_EQ(message,
              "  Error !!!   Space group 230 setting 1 expands to 200 operators, more than 193.\n");
    // A Laue class index out of range gives the triclinic code: nothing copied.
    s.sgNumber = 2;
    ASSERT_EQ(readSpaceGroupRecord(dir / "spgra.dat", s, record, message), 0) << message;
    EXPECT_EQ(s.crystalSystem, 1);
}

}  // namespace
}  // namespace tarnell
