#include "crystal/operator_text.h"

#include <gtest/gtest.h>

#include "structure/space_group_lookup.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::TempDir;
using test::writeFile;

using Rows = Matrix3;

TEST(OperatorText, TripletsAsFilesWriteThemReadAsTheirOperator) {
    const struct {
        const char* text;
        Rows r;
        std::array<double, 3> t;
    } cases[] = {
        {"x,y,z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}},
        {"-x+1/2, y , -Z", {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {0.5, 0, 0}},
        {"1/2+x,1/2-y,+z", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {0.5, 0.5, 0}},
        {"x-y,x,z+1/6", {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}}, {0, 0, 1.0 / 6}},
        {"-x+y,y,-z+0.5", {{{-1, 1, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0, 0.5}},
        {"\tz-1/4,x+5/6,y", {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}}, {-0.25, 5.0 / 6, 0}},
        {"x+1/2,y-1,z+3/4", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0.5, -1, 0.75}},
    };
    for (const auto& c : cases) {
        std::string reason;
        const std::optional<SymmetryOperator> op = readOperatorText(c.text, reason);
        ASSERT_TRUE(op) << c.text << ": " << reason;
        EXPECT_EQ(op->r, c.r) << c.text;
        EXPECT_EQ(op->t, c.t) << c.text;
    }
}

// "x<y,z" was read as x+y,z, and an endless number overflowed inside gemmi's parser.
TEST(OperatorText, AnythingElseIsRefusedWithItsReason) {
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {"x<y,z", "it has 2 components instead of 3"},
        {"x<y,y,z", "\"<\" is not part of an operator"},
        {"x,y,-z+99999999999999999999/2", "the number 99999999999999999999 is too long"},
        {"x+99999999+1/2,y+1/2,z",
         "component 1 translates by more than 1e+06 cells, where the place in the cell is lost"},
        {"x,y,z,x+1/2", "it has 4 components instead of 3"},
        {"x,,z", "component 2 is empty"},
        {"x,y,z+", "component 3 ends with a sign"},
        {"x+x,y,z", "component 1 names x twice"},
        {"2x,y,z", "component 1 has a number before a letter"},
        {"x,y,z+1/0", "a denominator is 0"},
        {"x,y,z+1/2.5", "component 3 has terms without a sign between them"},
        {"x,y,z 1/2", "component 3 has terms without a sign between them"},
        {"x,y,z+1.2.3", "a number has two decimal points"},
        {"x,y,z+.", "a number has no digits"},
        {"x,x,z", "its rotation is not a symmetry operation"},
        {"1/2,y,z", "its rotation is not a symmetry operation"},
        {std::string("x,y\x01,z"), "byte 0x01 is not part of an operator"},
        {"x;y;z", "it has 1 components instead of 3"},
        {"", "it has 1 components instead of 3"},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_FALSE(readOperatorText(c.text, reason)) << c.text;
        EXPECT_EQ(reason, c.reason) << c.text;
    }
}

// The space-group file refuses an operator that does not read, naming it (so does a CIF file).
TEST(OperatorText, SpaceGroupFileRefusesAnUnreadableOperator) {
    TempDir dir;
    writeFile(dir / "spgra.dat", "  2  1  1  1  1   P -1\n 1 1 1 0 0 0 0 0 0 0 0 0 0 0\nx<y,y,z\n");
    CrystalStructure structure;
    structure.sgNumber = 2;
    SpaceGroupRecord record;
    std::string message;
    EXPECT_EQ(
        test::codeOf(findSpaceGroupRecord(readSpaceGroupData(dir / "spgra.dat"), structure, record),
                     message),
        -1);
    EXPECT_EQ(message,
              "  Error !!!  Symmetry operator \"x<y,y,z\" cannot be read: \"<\" is not "
              "part of an operator.\n");
}

}  // namespace
}  // namespace tarnell
