#include "valence/report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(Report, FailedRunLeavesOnlyItsMessageAndReplacesAnOldReport) {
    TempDir dir;
    writeFile(dir / "out.txt", "an old report\nwith lines\n");
    std::ostringstream console;
    std::string message = "  Error !!!  No distance entry within less then 2.500.\n";
    EXPECT_EQ(writeReport(-1, dir / "out.txt", CrystalStructure{}, {}, 0, {}, message, console),
              -1);
    EXPECT_EQ(readFile(dir / "out.txt"), message + "\n");
    EXPECT_EQ(console.str(), "");
}

TEST(Report, ReportThatCannotBeCreatedIsAnnouncedOnTheConsole) {
    TempDir dir;
    std::ostringstream console;
    std::string message;
    EXPECT_EQ(writeReport(0, dir / "missing" / "out.txt", CrystalStructure{}, {}, 0, {}, message,
                          console),
              -1);
    EXPECT_EQ(console.str(), "  Error !!! Output file not found.\n");
}

TEST(Report, CrystalDataKeepTheirColumnsForLongNamesAndNegativeValues) {
    TempDir dir;
    CrystalStructure s;
    s.title = "Test";
    s.sgName = "P 1 21/c 1 long";
    s.sgNumber = 14;
    s.sgSetting = 2;
    s.cell = {5.1, 6.2, 7.3, 90, 101.25, 90};
    s.cellSigma = {0.001, 0.002, 0.003, 0, 0.01, 0};
    s.sites = {Site{"Mn1", 1, -0.125, 0.5, 0.25, 0.0001, 0, 0.0002, 2, 3}};
    std::ostringstream console;
    std::string message;
    ASSERT_EQ(writeReport(0, dir / "out.txt", s, {}, 0, {}, message, console), 0);
    const std::string report = readFile(dir / "out.txt");
    EXPECT_EQ(report.substr(0, report.find("  Atom")),
              "  Title      : Test\n"
              "  SG Name    : P 1 21/c 1 long\n"
              "  SG No.     : 14\n"
              "  SG Set No. : 2\n"
              "\n"
              "  Crystal data\n"
              "\n"
              "  Lattice parameters:\n"
              "    5.100000   6.200000   7.300000  90.000000 101.250000  90.000000\n"
              "    0.001000   0.002000   0.003000   0.000000   0.010000   0.000000\n"
              "\n");
    EXPECT_NE(report.find("  Atom      charge      x           y           z\n"
                          "  Mn1      2.000000   -0.125000    0.500000    0.250000\n"
                          "                       0.000100    0.000000    0.000200\n"),
              std::string::npos);

    s.sgName = "P n m a";
    ASSERT_EQ(writeReport(0, dir / "out.txt", s, {}, 0, {}, message, console), 0);
    EXPECT_NE(readFile(dir / "out.txt").find("  SG Name    :    P n m a\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnell
