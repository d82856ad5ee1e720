#include "valence/parameter_table.h"

#include <gtest/gtest.h>

#include "settings/numbers.h"
#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::writeFile;

const char* const Table =
    "; bond valence parameters\n"
    "Fe 2 O 2 1.734 a\n"
    "F 9 O 2 1.100 b   anything after the sixth field\n"
    " Fe 4 O 2 1.900 c\n"  // indented: never a data line
    "Fe 3 O 2 1.759 a\n"
    "Fe 3 O 2 abc a\n"  // r0 is not a number: not a data line
    "Fe 3 S 2 2.149\n"  // no reference identifier: not a data line
    "Fe2 3 O 2 1.800 d\n"
    ";************************* REFERENCES ****************************\n"
    "   the line after the header\n"
    " a Brown and Altermatt (1985)\n"
    " b Brese and O'Keeffe (1991)\n"
    " c\n"
    " d Brown (2009)\n";

TEST(ParameterTable, ExactElementPairsInFileOrderAndEntryNumReferences) {
    test::TempDir dir;
    writeFile(dir / "BVTable", Table);
    ParameterTable table;
    std::string message;
    ASSERT_EQ(test::codeOf(loadParameterTable(dir / "BVTable", table), message), 0);
    const auto text = [](const std::vector<BondParameter>& parameters) {
        std::string all;
        for (const BondParameter& p : parameters)
            all += formatText(" %s %s %.4f %s", p.cationKey.c_str(), p.anionKey.c_str(), p.r0,
                              p.reference.c_str());
        return all;
    };
    EXPECT_EQ(text(lookupBondParameters(table, "Fe", "O")), " Fe2+ O2- 1.7340 a Fe3+ O2- 1.7590 a");
    // F matches only lines whose first field is F, not Fe.
    EXPECT_EQ(text(lookupBondParameters(table, "F", "O")), " F9+ O2- 1.1000 b");
    EXPECT_FALSE(hasBondParameters(table, "O", "Fe"));
    EXPECT_FALSE(hasBondParameters(table, "Fe", "S"));

    // The reference list: EntryNum lines after the header and the line that follows it.
    std::vector<std::string> references;
    ASSERT_EQ(test::codeOf(readReferenceList(dir / "BVTable", 3, references), message), 0);
    EXPECT_EQ(references, (std::vector<std::string>{"Brown and Altermatt (1985)",
                                                    "Brese and O'Keeffe (1991)", ""}));

    // Fewer lines than EntryNum: the lines present, nothing made up.
    ASSERT_EQ(test::codeOf(readReferenceList(dir / "BVTable", 10, references), message), 0);
    EXPECT_EQ(references.size(), 4u);

    EXPECT_EQ(test::codeOf(readReferenceList(dir / "BVTable", 194, references), message), -1);
    EXPECT_EQ(message, "  Error !!! EntryNum 194 is more than 193 references.\n");

    writeFile(dir / "NoRefs", "Fe 3 O 2 1.759 a\n");
    EXPECT_EQ(test::codeOf(readReferenceList(dir / "NoRefs", 1, references), message), -1);
    EXPECT_EQ(message, "  Error !!! No reference section.\n");
    EXPECT_EQ(test::codeOf(readReferenceList(dir / "none", 1, references), message), -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "none").string() + " file not found.\n");
}

// r0 and b take a quicker way than readReal for the table's plain decimals: each must read as
// the very double that readReal gives, and a form that readReal refuses must stay no data line.
TEST(ParameterTable, NumbersReadExactlyAsReadRealReadsThem) {
    const std::vector<std::string> numbers = {"1.759",
                                              "0.37",
                                              "0.370",
                                              "2.1",
                                              "1.7340000000001",
                                              "0.000000000000001",
                                              "99999999999999.9",
                                              "999999999999999.9",
                                              "0.1000000000000001",
                                              "1.",
                                              ".5",
                                              "12",
                                              "+1.5",
                                              "1e0",
                                              "1.5.2",
                                              "-0.5",
                                              "0x1p3",
                                              "1,5"};
    test::TempDir dir;
    std::string text;
    for (const std::string& number : numbers)
        text += "Fe 3 O 2 " + number + " a " + number + "\r\n";
    text += "Mn 2 O 2 1.790 a";  // the last line without its break
    writeFile(dir / "BVTable", text);
    ParameterTable table;
    std::string message;
    ASSERT_EQ(test::codeOf(loadParameterTable(dir / "BVTable", table), message), 0);
    std::size_t line = 0;
    for (const std::string& number : numbers) {
        SCOPED_TRACE(number);
        const std::optional<double> expected = readReal(number);
        if (!expected) continue;
        ASSERT_LT(line, table.lines.size());
        EXPECT_EQ(table.lines[line].r0, *expected);
        EXPECT_EQ(table.lines[line].b, *expected > 0.0 ? *expected : 0.0);
        EXPECT_EQ(table.lines[line].reference, "a");
        ++line;
    }
    ASSERT_EQ(table.lines.size(), line + 1);
    EXPECT_EQ(table.lines.back().cation, "Mn");
    EXPECT_EQ(table.lines.back().r0, 1.79);
}

}  // namespace
}  // namespace tarnell
