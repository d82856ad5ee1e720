// make_bvtable turns a table in the IUCr CIF layout into a BVTable that the engine's reader
// takes back value for value, refuses what it could not state, and reproduces the shipped
// generic table.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "tests/test_files.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

const std::filesystem::path source = TARNELL_SOURCE_DIR;
const std::filesystem::path smallCif = source / "tests" / "data" / "bvparm_small.cif";

std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '"');
    text += path.string();
    return text += '"';
}

// The tool's exit status; its standard output goes to `dir`/stdout.
int makeBvtable(const test::TempDir& dir, const std::string& arguments) {
    const std::string command = quoted(MAKE_BVTABLE_EXE) + " " + arguments + " > " +
                                quoted(dir / "stdout") + " 2> " + quoted(dir / "stderr");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const SmallTable =
    "; BVTable: bond valence parameters r0 (A) of cation-anion pairs; b is BV-B of Tarnell.ini.\n"
    "; Fields: cation, its valence, anion, its valence without sign, r0, reference.\n"
    "; Made by make_bvtable from bvparm_small.cif (data_SMALL_TABLE) with --b 0.37.\n"
    "; Changes to that table: written in this layout, anion valences without sign;\n"
    "; kept are only its rows with B = 0.37 (5 of 7 rows), in their order;\n"
    "; left out: 1 row(s) repeating an earlier row word for word;\n"
    "; the reference section lists every reference.\n"
    "; The comments of the source table follow, with its copyright notice.\n"
    ";\n"
    "; A FEW ROWS IN THE LAYOUT OF THE IUCr TABLE OF BOND VALENCE PARAMETERS\n"
    "; ***************************************************************\n"
    "; COPYRIGHT NOTICE\n"
    "; Written for the tests of make_bvtable; the values are taken\n"
    "; from bvparm2013.cif, whose notice covers them.\n"
    "; ***************************************************************\n"
    ";     bond valence = exp((Ro-R)/B)\n"
    ";\n"
    "Fe 2 O 2 1.734 a\n"
    "Fe 3 O 2 1.759 a\n"
    "Fe 3 O 2 1.7450 b\n"
    "Ag 9 Br 1 2.22 b\n"
    "Fe 3 F 1 1.679 aa\n"
    ";************************* REFERENCES ****************************\n"
    "; id reference\n"
    "   a  Brown and Altermatt, (1985), Acta Cryst. B41, 244-247 (empirical)\n"
    "   b  Brese and O'Keeffe, (1991), Acta Cryst. B47, 192-197 (extrapolated)\n"
    "   aa Jensen, Palenik and Tiekiak (2001) Polyhedron 20, 2137\n";

TEST(BVTable, ConvertsTheRowsOfTheEnginesBAndEveryReference) {
    test::TempDir dir;
    ASSERT_EQ(makeBvtable(dir, quoted(smallCif) + " " + quoted(dir / "BVTable")), 0);
    EXPECT_EQ(test::readFile(dir / "BVTable"), SmallTable);
    EXPECT_NE(test::readFile(dir / "stdout").find("\nEntryNum 3\n"), std::string::npos);

    // What the engine makes of it: the pairs with their alternatives in file order, and the
    // references with their identifiers in sight.
    ParameterTable table;
    std::string message;
    ASSERT_EQ(loadParameterTable(dir / "BVTable", table, message), 0);
    EXPECT_EQ(table.lines.size(), 5u);
    const std::vector<BondParameter> feO = lookupBondParameters(table, "Fe", "O");
    ASSERT_EQ(feO.size(), 3u);
    EXPECT_EQ(std::tie(feO[0].cationKey, feO[0].anionKey, feO[0].r0, feO[0].reference),
              std::make_tuple(std::string("Fe2+"), std::string("O2-"), 1.734, std::string("a")));
    EXPECT_EQ(std::tie(feO[2].cationKey, feO[2].r0, feO[2].reference),
              std::make_tuple(std::string("Fe3+"), 1.745, std::string("b")));
    const std::vector<BondParameter> agBr = lookupBondParameters(table, "Ag", "Br");
    ASSERT_EQ(agBr.size(), 1u);
    EXPECT_EQ(agBr[0].cationKey + " " + agBr[0].anionKey, "Ag9+ Br1-");

    std::vector<std::string> references;
    ASSERT_EQ(readReferenceList(dir / "BVTable", 3, references, message), 0);
    EXPECT_EQ(references,
              (std::vector<std::string>{
                  "a  Brown and Altermatt, (1985), Acta Cryst. B41, 244-247 (empirical)",
                  "b  Brese and O'Keeffe, (1991), Acta Cryst. B47, 192-197 (extrapolated)",
                  "aa Jensen, Palenik and Tiekiak (2001) Polyhedron 20, 2137"}));
}

TEST(BVTable, NamedReferencesRankAndKeepOneRowPerIonPair) {
    test::TempDir dir;
    ASSERT_EQ(makeBvtable(dir, quoted(smallCif) + " " + quoted(dir / "BVTable") +
                                   " --reference b --reference a"),
              0);
    const std::string text = test::readFile(dir / "BVTable");
    const std::string data = "Fe 2 O 2 1.734 a\nFe 3 O 2 1.7450 b\nAg 9 Br 1 2.22 b\n";
    EXPECT_NE(text.find(";\n" + data + ";****"), std::string::npos) << text;
    EXPECT_NE(text.find("; left out: 1 row(s) for ion pairs that a reference named earlier lists;"),
              std::string::npos);
    EXPECT_TRUE(
        text.ends_with("(empirical)\n   b  Brese and O'Keeffe, (1991), Acta Cryst. B47, "
                       "192-197 (extrapolated)\n"));
    EXPECT_NE(test::readFile(dir / "stdout").find("\nEntryNum 2\n"), std::string::npos);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        ADD_FAILURE() << "not in the small table: " << from;
    else
        text.replace(at, from.size(), to);
    return text;
}

TEST(BVTable, RefusesWhatTheEngineCouldNotReadBackAndLeavesTheOldTable) {
    const std::string cif = test::readFile(smallCif);
    std::string manyReferences;
    for (int i = 1; i <= MaxReferences - 2; ++i)
        manyReferences += " r" + std::to_string(i) + " 'Reference " + std::to_string(i) + "'\n";
    const std::map<std::string, std::pair<std::string, std::string>> cases = {
        {"r0 not a number", {replaced(cif, "1.759 ", "1.7x9 "), ""}},
        {"r0 with an uncertainty", {replaced(cif, "1.759 ", "1.759(3)"), ""}},
        {"a field with a blank", {replaced(cif, "Ag 9   Br", "Ag 9   'B r'"), ""}},
        {"no reference identifier",
         {replaced(cif, "0.37     b   ?\nFe 3   F", "0.37     ?   ?\nFe 3   F"), ""}},
        {"an empty reference identifier", {replaced(cif, "  b 'Brese", "  '' 'Brese"), ""}},
        {"a missing valence", {replaced(cif, "Fe 3   F  -1", "Fe 3   F  ."), ""}},
        {"more references than the engine lists",
         {replaced(cif, " aa\n", manyReferences + " aa\n"), ""}},
        {"no CIF", {replaced(cif, "data_SMALL_TABLE", "SMALL_TABLE"), ""}},
        {"an unlisted reference", {cif, " --reference zz"}},
    };
    for (const auto& [name, input] : cases) {
        test::TempDir dir;
        test::writeFile(dir / "table.cif", input.first);
        test::writeFile(dir / "BVTable", "Fe 3 O 2 1.759 a\n");
        EXPECT_EQ(makeBvtable(dir, quoted(dir / "table.cif") + " " + quoted(dir / "BVTable") +
                                       input.second),
                  1)
            << name;
        EXPECT_NE(test::readFile(dir / "stderr").find("make_bvtable: "), std::string::npos) << name;
        EXPECT_EQ(test::readFile(dir / "BVTable"), "Fe 3 O 2 1.759 a\n") << name;
        EXPECT_FALSE(std::filesystem::exists(dir / "BVTable.part")) << name;
    }
}

const char* const GenericOptions = " --reference b --reference a --reference e";

TEST(BVTable, GenericTableIsWhatTheToolMakesOfTheIucrTable) {
    const std::filesystem::path iucr = source / ".." / "shared" / "data" / "bvparm2013.cif";
    if (!std::filesystem::exists(iucr)) GTEST_SKIP() << iucr << " is not there";
    test::TempDir dir;
    ASSERT_EQ(makeBvtable(dir, quoted(iucr) + " " + quoted(dir / "BVTable") + GenericOptions), 0);
    EXPECT_TRUE(test::readFile(dir / "BVTable") ==
                test::readFile(source / "data" / "BVTable.generic"));
}

// The generic table must serve the common oxides and halides, with one r0 per ion pair: a pair
// without a line would leave its bonds out of every anion's sum.
TEST(BVTable, GenericTableHasOneLinePerIonPairAndTheCommonPairs) {
    ParameterTable table;
    std::string message;
    ASSERT_EQ(loadParameterTable(source / "data" / "BVTable.generic", table, message), 0);
    std::map<std::string, int> ionPairs;
    for (const ParameterLine& line : table.lines)
        ++ionPairs[line.cation + line.cationValence + " " + line.anion + line.anionValence];
    for (const auto& [pair, count] : ionPairs) EXPECT_EQ(count, 1) << pair;
    for (const char* pair : {"Na1 Cl1", "Mg2 O2", "Al3 O2", "Si4 O2", "Ca2 O2", "Ti4 O2", "Fe2 O2",
                             "Fe3 O2", "Zn2 O2", "Ca2 F1"})
        EXPECT_EQ(ionPairs.count(pair), 1u) << pair;
}

}  // namespace
}  // namespace tarnell
