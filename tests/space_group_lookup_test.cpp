#include "structure/space_group_lookup.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Shipped = std::filesystem::path(TARNELL_SOURCE_DIR) / "data";

CrystalStructure group(int number, const char* symbol, const char* uniqueAxis = "") {
    CrystalStructure s;
    s.sgNumber = number;
    s.sgName = symbol;
    s.uniqueAxis = uniqueAxis;
    return s;
}

int resolve(SettingLookup lookup, CrystalStructure& s, std::string& message,
            Program wording = Program::Engine,
            const std::filesystem::path& file = Shipped / "sgtrans.dat") {
    return test::codeOf(resolveSpaceGroupSetting(lookup, s, file), message, wording);
}

TEST(SettingLookup, MonoclinicCellChoiceGivesTheSettingOfItsUniqueAxis) {
    // Every full symbol of gemmi's table is SpaceGroupFiles.EverySettingSymbolLeadsToItsSetting;
    // these are the symbols files write otherwise.
    const std::tuple<int, const char*, const char*, int> cases[] = {
        // The older ICSD layout's 10-character cut can take in the parenthesis of the number;
        // the comparison is a prefix test over the symbol's length.
        {14, "P 1 21/n(", "b", 2},
        {14, "P 1 21/a", "b", 3},
        // No unique axis, or a symbol that names no field: the setting stays as read.
        {14, "P 1 21/n 1", "", 7},
        {14, "P 1 21/x 1", "b", 7},
        {14, "", "b", 7},
        // Without cell choices the axis alone decides.
        {4, "anything", "b", 1},
        {4, "anything", "c", 4},
        {4, "anything", "a", 7},
        {4, "anything", "", 7},
    };
    for (const auto& [number, symbol, axis, setting] : cases) {
        CrystalStructure s = group(number, symbol, axis);
        s.sgSetting = 7;
        std::string message;
        ASSERT_EQ(resolve(SettingLookup::Monoclinic, s, message), 0) << message;
        EXPECT_EQ(s.sgSetting, setting) << symbol << " axis " << axis;
        EXPECT_EQ(s.sgName, symbol);
    }
}

// P b n m is the cab setting of P n m a; the standard symbol, and one that names no setting,
// leave the structure as it was. The setting number stays that of the standard axes.
TEST(SettingLookup, OrthorhombicSettingIsConvertedToTheStandardOne) {
    const std::tuple<const char*, std::array<double, 3>, std::array<double, 3>> cases[] = {
        {"P b n m", {6, 7, 5}, {0.2, 0.3, 0.1}},
        {"P n m a", {5, 6, 7}, {0.1, 0.2, 0.3}},
        {"P 21/n 21/m 21/a", {5, 6, 7}, {0.1, 0.2, 0.3}}};
    for (const auto& [symbol, edges, position] : cases) {
        CrystalStructure s = group(62, symbol);
        s.cell = {5.0, 6.0, 7.0, 90, 90, 90};
        s.sites = {Site{"O1", 1, 0.1, 0.2, 0.3, 0.01, 0.02, 0.03, -2, 3}};
        std::string message;
        ASSERT_EQ(resolve(SettingLookup::Orthorhombic, s, message), 0) << message;
        EXPECT_EQ((std::array<double, 3>{s.cell[0], s.cell[1], s.cell[2]}), edges) << symbol;
        EXPECT_EQ((std::array<double, 3>{s.sites[0].x, s.sites[0].y, s.sites[0].z}), position);
        EXPECT_EQ(s.sgSetting, 1);
    }
}

TEST(SettingLookup, FailuresAreWordedForEachProgram) {
    test::TempDir dir;
    test::writeFile(dir / "mono-only.dat", "Monoclinic\nheading\n 14\n");
    const std::string none = (dir / "none.dat").string();
    using Case = std::tuple<SettingLookup, int, std::filesystem::path, std::string, std::string>;
    const Case cases[] = {
        {SettingLookup::Monoclinic, 11, dir / "mono-only.dat", "  P x space group not found !!!\n",
         "  P x space group not found !!!\n"},
        {SettingLookup::Orthorhombic, 62, dir / "mono-only.dat",
         "  Error !!!   Orthorhombic not found.\n", "Orthorhombic not found !!!\n"},
        {SettingLookup::Orthorhombic, 62, none, "  Error !!!   " + none + " file not found.\n",
         "  " + none + " file not found !!!\n"},
    };
    for (const auto& [lookup, number, file, engine, frontEnd] : cases) {
        CrystalStructure s = group(number, "P x", "b");
        std::string message;
        EXPECT_EQ(resolve(lookup, s, message, Program::Engine, file), -1);
        EXPECT_EQ(message, engine);
        EXPECT_EQ(resolve(lookup, s, message, Program::FrontEnd, file), -1);
        EXPECT_EQ(message, frontEnd);
    }
}

// A found record gives the data file's symbol; one the engine cannot use is refused.
TEST(SpaceGroupRecord, RecordOfNumberAndSettingOrAClearRefusal) {
    test::TempDir dir;
    std::string text =
        " 99  1  7  0  0   P 4 m m\n              \n"                   // no operators, blank codes
        " 98  1  7  0  1   P 4\n 0 0 0 0 0 0 9 0 0 0 0 0 0 0\nx,y,z\n"  // unknown centring
        "  2  1 16  1  1   P -1\n\n x,y,z\n"                            // Laue index out of range
        "230  1 15  1 25   I a -3 d\n 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";   // 200 operators
    for (int i = 0; i < 25; ++i) text += "x,y,z\n";
    text += "225  1 15  1 48   F m -3 m\n 0 0 0 0 0 0 7 0 0 0 0 0 0 0\n";  // ends early
    test::writeFile(dir / "spgra.dat", text);
    CrystalStructure s = group(14, "P 21/n");
    SpaceGroupRecord record;
    std::string message;
    const auto read = [&](const std::filesystem::path& file, int number, int setting) {
        s.sgNumber = number;
        s.sgSetting = setting;
        return test::codeOf(findSpaceGroupRecord(readSpaceGroupData(file), s, record), message);
    };
    ASSERT_EQ(read(Shipped / "spgra.dat", 14, 2), 0) << message;
    EXPECT_EQ(s.sgName, "P 1 21/n 1");
    // Another setting of a number in the file is not found, and the symbol stays.
    s.sgName = "P 1 21/c 1 (from file)";
    EXPECT_EQ(read(Shipped / "spgra.dat", 14, 10), -1);
    EXPECT_EQ(message, "  P 1 21/c 1 (from file) space group not found !!!\n");
    EXPECT_EQ(s.sgName, "P 1 21/c 1 (from file)");

    ASSERT_EQ(read(dir / "spgra.dat", 99, 1), 0) << message;
    EXPECT_EQ(s.crystalSystem, CrystalSystem::Tetragonal);
    EXPECT_TRUE(record.operatorTexts.empty());
    ASSERT_EQ(read(dir / "spgra.dat", 2, 1), 0) << message;
    EXPECT_EQ(s.crystalSystem, CrystalSystem::Triclinic);  // nothing copied between cell parameters
    EXPECT_EQ(read(dir / "spgra.dat", 98, 1), -1);
    EXPECT_EQ(message, "  Error !!!   Space group 98 setting 1 has an unknown centring code 9.\n");
    EXPECT_EQ(read(dir / "spgra.dat", 230, 1), -1);
    EXPECT_EQ(message,
              "  Error !!!   Space group 230 setting 1 expands to 200 operators, more than 193.\n");
    EXPECT_EQ(read(dir / "spgra.dat", 225, 1), -1);
    EXPECT_NE(message.find("ends before its last line"), std::string::npos);
    EXPECT_EQ(read(dir / "none.dat", 225, 1), -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "none.dat").string() + " file not found.\n");
}

}  // namespace
}  // namespace tarnell
