// make_bvtable turns a table in the IUCr CIF layout into a BVTable, refuses what the engine could
// not read back as written, and reproduces the shipped generic table.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <map>

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

// The tool's exit status, converting `input` into `dir`/BVTable; its standard output and error
// go to `dir`/stdout and `dir`/stderr.
int makeBvtable(const test::TempDir& dir, const std::filesystem::path& input,
                const std::string& options = "") {
    const std::string command = quoted(MAKE_BVTABLE_EXE) + " " + quoted(input) + " " +
                                quoted(dir / "BVTable") + options + " > " + quoted(dir / "stdout") +
                                " 2> " + quoted(dir / "stderr");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BVTable, ConvertsTheRowsOfTheEnginesBAndTheNamedReferences) {
    test::TempDir dir;
    ASSERT_EQ(makeBvtable(dir, smallCif), 0);
    EXPECT_EQ(test::readFile(dir / "BVTable"),
              "; BVTable: bond valence parameters r0 and b (A) of cation-anion pairs.\n"
              "; Fields: cation, its valence, anion, its valence without sign, r0, reference, b. "
              "The sums\n"
              "; of the distance list use the lines whose b is BV-B of Tarnell.ini, the valence\n"
              "; summary every line with its own b.\n"
              "; Made by make_bvtable from bvparm_small.cif (data_SMALL_TABLE).\n"
              "; Changes to that table: written in this layout, anion valences without sign;\n"
              "; kept are its rows (6 of 9 rows), in their order;\n"
              "; left out: 2 row(s) that do not pair a cation with an anion (homoatomic and "
              "same-sign values, not for ionic sums);\n"
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
              "Fe 2 O 2 1.734 a 0.37\n"
              "Fe 3 O 2 1.759 a 0.37\n"
              "Fe 3 O 2 1.70 aa 0.40\n"
              "Fe 3 O 2 1.7450 b 0.370\n"
              "Ag 9 Br 1 2.22 b 0.37\n"
              "Fe 3 F 1 1.679 aa 0.37\n"
              ";************************* REFERENCES ****************************\n"
              "; id reference\n"
              "   a  Brown and Altermatt, (1985), Acta Cryst. B41, 244-247 (empirical)\n"
              "   b  Brese and O'Keeffe, (1991), Acta Cryst. B47, 192-197 (extrapolated)\n"
              "   aa Jensen, Palenik and Tiekiak (2001) Polyhedron 20, 2137\n");
    EXPECT_NE(test::readFile(dir / "stdout").find("\nEntryNum 3\n"), std::string::npos);

    // Named references rank in their order and keep one row per ion pair; --b keeps one b.
    ASSERT_EQ(makeBvtable(dir, smallCif, " --b 0.37 --reference b --reference a"), 0);
    const std::string text = test::readFile(dir / "BVTable");
    const std::string data =
        "Fe 2 O 2 1.734 a 0.37\nFe 3 O 2 1.7450 b 0.370\nAg 9 Br 1 2.22 b 0.37\n";
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
    if (at == std::string::npos) ADD_FAILURE() << "not in the small table: " << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(BVTable, RefusesWhatTheEngineCouldNotReadBackAndLeavesTheOldTable) {
    const std::string cif = test::readFile(smallCif);
    std::string manyReferences;
    for (int i = 1; i <= MaxReferences - 2; ++i)
        manyReferences += " r" + std::to_string(i) + " 'Reference " + std::to_string(i) + "'\n";
    // the fault, the text it replaces, its text, the tool's options
    const std::array<std::string, 4> cases[] = {
        {"r0 with an uncertainty", "1.759 ", "1.759(3)", ""},
        {"b unknown", "1.759    0.37", "1.759    ?", ""},
        {"a field with a blank", "Ag 9   Br", "Ag 9   'B r'", ""},
        {"an empty reference identifier", "  b 'Brese", "  '' 'Brese", ""},
        {"a missing valence", "Fe 3   F  -1", "Fe 3   F  .", ""},
        {"more references than the engine lists", " aa\n", manyReferences + " aa\n", ""},
        {"no CIF", "data_SMALL_TABLE", "SMALL_TABLE", ""},
        {"an unlisted reference", "", "", " --reference zz"},
    };
    for (const auto& [fault, from, to, options] : cases) {
        SCOPED_TRACE(fault);
        test::TempDir dir;
        test::writeFile(dir / "table.cif", replaced(cif, from, to));
        test::writeFile(dir / "BVTable", "Fe 3 O 2 1.759 a\n");
        EXPECT_EQ(makeBvtable(dir, dir / "table.cif", options), 1);
        EXPECT_NE(test::readFile(dir / "stderr").find("make_bvtable: "), std::string::npos);
        EXPECT_EQ(test::readFile(dir / "BVTable"), "Fe 3 O 2 1.759 a\n");
    }
}

TEST(BVTable, GenericTableIsWhatTheToolMakesOfTheIucrTable) {
    const std::filesystem::path iucr = source / ".." / "shared" / "data" / "bvparm2013.cif";
    if (!std::filesystem::exists(iucr)) GTEST_SKIP() << iucr << " is not there";
    test::TempDir dir;
    ASSERT_EQ(makeBvtable(dir, iucr, " --b 0.37 --reference b --reference a --reference e"), 0);
    EXPECT_TRUE(test::readFile(dir / "BVTable") ==
                test::readFile(source / "data" / "BVTable.generic"));
}

// The generic table must serve the common oxides and halides, with one r0 per ion pair: a pair
// without a line would leave its bonds out of every anion's sum.
TEST(BVTable, GenericTableHasOneLinePerIonPairAndTheCommonPairs) {
    ParameterTable table;
    std::string message;
    ASSERT_EQ(test::codeOf(loadParameterTable(source / "data" / "BVTable.generic", table), message),
              0);
    std::map<std::string, int> ionPairs;
    for (const ParameterLine& line : table.lines)
        ++ionPairs[cationKey(line) + " " + anionKey(line)];
    for (const auto& [pair, count] : ionPairs) EXPECT_EQ(count, 1) << pair;
    for (const char* pair : {"Na1+ Cl1-", "Mg2+ O2-", "Al3+ O2-", "Si4+ O2-", "Ca2+ O2-",
                             "Ti4+ O2-", "Fe2+ O2-", "Fe3+ O2-", "Zn2+ O2-", "Ca2+ F1-"})
        EXPECT_EQ(ionPairs.count(pair), 1u) << pair;
}

}  // namespace
}  // namespace tarnell
