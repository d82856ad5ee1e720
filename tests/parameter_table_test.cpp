#include "valence/parameter_table.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::writeFile;

const char* const Table =
    "; bond valence parameters\n"
    "Fe 2 O 2 1.734 a\n"
    "F 9 O 2 1.100 b\n"
    " Fe 4 O 2 1.900 c\n"  // indented: never a data line
    "Fe 3 O 2 1.759 a\n"
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

}  // namespace
}  // namespace tarnell
