#include "structure/space_group_lookup.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::TempDir;
using test::writeFile;

const std::filesystem::path Shipped = std::filesystem::path(TARNELL_SOURCE_DIR) / "data";

CrystalStructure group(int number, const char* symbol, const char* uniqueAxis = "") {
    CrystalStructure s;
    s.sgNumber = number;
    s.sgName = symbol;
    s.uniqueAxis = uniqueAxis;
    return s;
}

int resolve(SettingLookup lookup, CrystalStructure& s, std::string& message,
            const Wording& wording = EngineWording,
            const std::filesystem::path& file = Shipped / "sgtrans.dat") {
    return resolveSpaceGroupSetting(lookup, s, file, wording, message);
}

TEST(SettingLookup, MonoclinicCellChoiceGivesTheSettingOfItsUniqueAxis) {
    struct Case {
        int number;
        const char* symbol;
        const char* axis;
        int setting;
    };
    const Case cases[] = {
        {14, "P 1 21/n 1", "b", 2}, {14, "P 1 1 21/n", "c", 5}, {14, "P 21/n 1 1", "a", 8},
        {14, "P 1 21/c 1", "b", 1}, {14, "P 1 1 21/b", "c", 6}, {14, "P 21/c 1 1", "a", 9},
        // The older ICSD layout's 10-character cut can take in the parenthesis of the number;
        // the comparison is a prefix test over the symbol's length.
        {14, "P 1 21/n(", "b", 2}, {14, "P 1 21/a", "b", 3},
        // No unique axis, or a symbol that names no field: the setting stays as read.
        {14, "P 1 21/n 1", "", 7}, {14, "P 1 21/x 1", "b", 7}, {14, "", "b", 7},
        // Without cell choices the axis alone decides.
        {4, "anything", "b", 1}, {4, "anything", "c", 4}, {4, "anything", "a", 7},
        {4, "anything", "", 7},
    };
    for (const Wording* wording : {&EngineWording, &FrontEndWording}) {
        for (const Case& c : cases) {
            CrystalStructure s = group(c.number, c.symbol, c.axis);
            s.sgSetting = 7;
            std::string message;
            ASSERT_EQ(resolve(SettingLookup::Monoclinic, s, message, *wording), 0) << message;
            EXPECT_EQ(s.sgSetting, c.setting) << c.symbol << " axis " << c.axis;
            EXPECT_EQ(s.sgName, c.symbol);
        }
    }
}

TEST(SettingLookup, OrthorhombicSettingIsConvertedToTheStandardOne) {
    CrystalStructure pbnm = group(62, "P b n m");
    pbnm.cell = {5.0, 6.0, 7.0, 90, 90, 90};
    pbnm.cellSigma = {0.001, 0.002, 0.003, 0, 0, 0};
    pbnm.sites = {Site{"O1", 1, 0.1, 0.2, 0.3, 0.01, 0.02, 0.03, -2, 3}};
    std::string message;
    ASSERT_EQ(resolve(SettingLookup::Orthorhombic, pbnm, message), 0) << message;
    // P b n m is the cab setting of P n m a.
    for (const auto& [value, expected] :
         {std::pair{pbnm.cell[0], 6.0}, {pbnm.cell[1], 7.0}, {pbnm.cell[2], 5.0},
          {pbnm.cellSigma[2], 0.001}, {pbnm.sites[0].x, 0.2}, {pbnm.sites[0].y, 0.3},
          {pbnm.sites[0].z, 0.1}, {pbnm.sites[0].sz, 0.01}}) {
        EXPECT_NEAR(value, expected, 1e-12);
    }
    EXPECT_EQ(pbnm.sgSetting, 1);

    // The standard symbol, and one that names no setting, leave the structure as it was.
    for (const char* symbol : {"P n m a", "P 21/n 21/m 21/a"}) {
        CrystalStructure s = group(62, symbol);
        s.cell = {5.0, 6.0, 7.0, 90, 90, 90};
        s.sites = {Site{"O1", 1, 0.1, 0.2, 0.3, 0, 0, 0, -2, 3}};
        ASSERT_EQ(resolve(SettingLookup::Orthorhombic, s, message), 0);
        EXPECT_EQ(s.cell[0], 5.0);
        EXPECT_EQ(s.sites[0].x, 0.1);
    }
}

TEST(SettingLookup, FailuresAreWordedForEachProgram) {
    TempDir dir;
    writeFile(dir / "mono-only.dat", "Monoclinic\nheading\n 14\n");
    const std::string none = (dir / "none.dat").string();
    struct Case {
        SettingLookup lookup;
        int number;
        std::filesystem::path file;
        std::string engine;
        std::string frontEnd;
    };
    const Case cases[] = {
        {SettingLookup::Monoclinic, 11, dir / "mono-only.dat",
         "  P x space group not found !!!\n", "  P x space group not found !!!\n"},
        {SettingLookup::Orthorhombic, 62, dir / "mono-only.dat",
         "  Error !!!   Orthorhombic not found.\n", "Orthorhombic not found !!!\n"},
        {SettingLookup::Orthorhombic, 62, none, "  Error !!!   " + none + " file not found.\n",
         "  " + none + " file not found !!!\n"},
    };
    for (const Case& c : cases) {
        CrystalStructure s = group(c.number, "P x", "b");
        std::string message;
        EXPECT_EQ(resolve(c.lookup, s, message, EngineWording, c.file), -1);
        EXPECT_EQ(message, c.engine);
        EXPECT_EQ(resolve(c.lookup, s, message, FrontEndWording, c.file), -1);
        EXPECT_EQ(message, c.frontEnd);
    }
}

int readRecord(const std::filesystem::path& file, CrystalStructure& s, SpaceGroupRecord& record,
               std::string& message, int number, int setting) {
    s.sgNumber = number;
    s.sgSetting = setting;
    return readSpaceGroupRecord(file, s, record, message);
}

TEST(SpaceGroupRecord, RecordOfNumberAndSettingGivesItsOperatorsAndSymbol) {
    CrystalStructure s = group(14, "P 21/n");
    SpaceGroupRecord record;
    std::string message;
    ASSERT_EQ(readRecord(Shipped / "spgra.dat", s, record, message, 14, 2), 0) << message;
    EXPECT_EQ(s.sgName, "P 1 21/n 1");
    EXPECT_EQ(s.crystalSystem, 2);
    EXPECT_EQ(record.centrosymmetricFlag, 1);
    EXPECT_EQ(record.operatorTexts, (std::vector<std::string>{"x,y,z", "-x+1/2,y+1/2,-z+1/2"}));

    // Another setting of a number in the file is not found, and the symbol stays.
    s.sgName = "P 1 21/c 1 (from file)";
    EXPECT_EQ(readRecord(Shipped / "spgra.dat", s, record, message, 14, 10), -1);
    EXPECT_EQ(message, "  P 1 21/c 1 (from file) space group not found !!!\n");
    EXPECT_EQ(s.sgName, "P 1 21/c 1 (from file)");
}

TEST(SpaceGroupRecord, RecordsTheEngineCannotUseAreRefused) {
    TempDir dir;
    std::string text =
        " 99  1  7  0  0   P 4 m m\n              \n"                // no operators, blank codes
        " 98  1  7  0  1   P 4\n 0 0 0 0 0 0 9 0 0 0 0 0 0 0\nx,y,z\n"  // unknown centring
        "  2  1 16  1  1   P -1\n\n x,y,z\n"                          // Laue index out of range
        "230  1 15  1 25   I a -3 d\n 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";  // 200 operators
    for (int i = 0; i < 25; ++i) text += "x,y,z\n";
    text += "225  1 15  1 48   F m -3 m\n 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";  // ends early
    writeFile(dir / "spgra.dat", text);
    CrystalStructure s;
    SpaceGroupRecord record;
    std::string message;
    ASSERT_EQ(readRecord(dir / "spgra.dat", s, record, message, 99, 1), 0) << message;
    EXPECT_EQ(s.crystalSystem, 4);
    EXPECT_TRUE(record.operatorTexts.empty());
    ASSERT_EQ(readRecord(dir / "spgra.dat", s, record, message, 2, 1), 0) << message;
    EXPECT_EQ(s.crystalSystem, 1);  // nothing copied between cell parameters

    EXPECT_EQ(readRecord(dir / "spgra.dat", s, record, message, 98, 1), -1);
    EXPECT_EQ(message, "  Error !!!   Space group 98 setting 1 has an unknown centring code 9.\n");
    EXPECT_EQ(readRecord(dir / "spgra.dat", s, record, message, 230, 1), -1);
    EXPECT_EQ(message,
              "  Error !!!   Space group 230 setting 1 expands to 200 operators, more than 193.\n");
    EXPECT_EQ(readRecord(dir / "spgra.dat", s, record, message, 225, 1), -1);
    EXPECT_NE(message.find("ends before its last line"), std::string::npos);
    EXPECT_EQ(readRecord(dir / "none.dat", s, record, message, 225, 1), -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "none.dat").string() + " file not found.\n");
}

}  // namespace
}  // namespace tarnell
