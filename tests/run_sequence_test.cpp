#include "engine/run_sequence.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::filesystem::path Examples = std::filesystem::path(TARNELL_SOURCE_DIR) / "examples";

// A working directory with the shipped settings and space-group files.
struct WorkDir {
    TempDir dir;
    WorkDir() {
        const std::filesystem::path data = std::filesystem::path(TARNELL_SOURCE_DIR) / "data";
        for (const char* name : {"Tarnell.ini", "spgra.dat", "sgtrans.dat"}) {
            std::filesystem::copy_file(data / name, dir / name);
        }
        writeFile(dir / "BVTable",
                  "Na 1 Cl 1 2.15 b\n"
                  ";************************* REFERENCES ****************************\n"
                  ";\n");
    }
    std::filesystem::path operator/(const std::string& name) const { return dir / name; }

    int run(std::vector<std::string> args, std::string& console) const {
        args.insert(args.begin(), "Tarnell");
        std::ostringstream out;
        const int status = runEngine(args, dir.path(), out);
        console = out.str();
        return status;
    }
};

TEST(RunSequence, UsageErrorsStopBeforeAnythingIsTouched) {
    WorkDir work;
    writeFile(work / "out.txt", "untouched");
    const std::string usage =
        "Invalid usage !!!\n"
        " ex. <Tarnell -b inpfile outfile> for Tarnell file\n"
        "     <Tarnell -r inpfile outfile> for Morvek lst file\n"
        "     <Tarnell -i inpfile outfile> for ICSD file\n"
        "     <Tarnell -c inpfile outfile> for CIF file\n"
        "Ok?\n";
    const std::string input = (Examples / "NaCl.inp").string();
    const std::string output = (work / "out.txt").string();
    const std::vector<std::vector<std::string>> cases = {
        {}, {"-b"}, {"-b", input}, {"-x", input, output}, {"-B", input, output}, {"b", input, output}};
    for (const auto& args : cases) {
        std::string console;
        EXPECT_EQ(work.run(args, console), -1);
        EXPECT_EQ(console, usage);
    }
    EXPECT_EQ(readFile(work / "out.txt"), "untouched");
}

TEST(RunSequence, SettingsFailureOfAnyKindGivesOneFixedMessage) {
    WorkDir work;
    const std::string input = (Examples / "NaCl.inp").string();
    const std::string output = (work / "out.txt").string();
    const std::string expected =
        "!!! Now calculating .... \n  Error !!! Tarnell.ini file not found.\nOk?\n";

    std::string settings = test::shippedSettings();
    settings.replace(settings.find("H-min      ="), 5, "H_min");
    writeFile(work / "Tarnell.ini", settings);
    std::string console;
    EXPECT_EQ(work.run({"-b", input, output}, console), -1);
    EXPECT_EQ(console, expected);

    std::filesystem::remove(work / "Tarnell.ini");
    EXPECT_EQ(work.run({"-b", input, output}, console), -1);
    EXPECT_EQ(console, expected);
    EXPECT_FALSE(std::filesystem::exists(work / "out.txt"));
}

TEST(RunSequence, ReportThatCannotBeCreatedStillCompletesTheRun) {
    WorkDir work;
    std::string console;
    EXPECT_EQ(work.run({"-b", (Examples / "NaCl.inp").string(),
                        (work / "no-such-dir" / "out.txt").string()},
                       console),
              0);
    EXPECT_EQ(console,
              "!!! Now calculating .... \n  Error !!! Output file not found.\n"
              "\n  Calculation completed !\n\n");
}

TEST(RunSequence, CellUncertaintiesAreCopiedAsTheCrystalSystemMakesParametersEqual) {
    struct Case {
        int crystalSystem;
        int setting;
        std::array<double, 6> expected;
    };
    const Case cases[] = {
        {3, 1, {0.0002, 0, 0, 0.01, 0, 0}},                  // orthorhombic: nothing
        {4, 1, {0.0002, 0.0002, 0, 0.01, 0, 0}},             // tetragonal
        {5, 1, {0.0002, 0.0002, 0, 0.01, 0, 0}},             // trigonal, hexagonal axes
        {5, 2, {0.0002, 0.0002, 0.0002, 0.01, 0.01, 0.01}},  // rhombohedral axes
        {6, 1, {0.0002, 0.0002, 0, 0.01, 0, 0}},             // hexagonal
        {7, 2, {0.0002, 0.0002, 0.0002, 0.01, 0, 0}},        // cubic
    };
    for (const Case& c : cases) {
        CrystalStructure s;
        s.crystalSystem = c.crystalSystem;
        s.sgSetting = c.setting;
        s.cell = {5, 5, 5, 80, 80, 80};
        s.cellSigma = {0.0002, 0, 0, 0.01, 0, 0};
        copyCellUncertainties(s);
        EXPECT_EQ(s.cellSigma, c.expected) << "system " << c.crystalSystem;
        EXPECT_EQ(s.cell, (std::array<double, 6>{5, 5, 5, 80, 80, 80}));
    }
}

TEST(RunSequence, NativeFileReachesTheReportWithTheDataFileSymmetry) {
    WorkDir work;
    std::string console;
    ASSERT_EQ(work.run({"-b", (Examples / "NaCl.inp").string(), (work / "out.txt").string()},
                       console),
              0);
    const std::string report = readFile(work / "out.txt");
    EXPECT_EQ(report.substr(0, report.find('\n') + 1), "  Title      : Sodium chloride, rock salt\n");
    EXPECT_NE(report.find("  Cl1     -1.000000    0.500000    0.500000    0.500000\n"),
              std::string::npos);
    // Cubic: sigma(a) stands for b and c too.
    EXPECT_NE(report.find("    0.000100   0.000100   0.000100   0.000000"), std::string::npos);
    // 24 listed operators, the inverted half and the three F centring copies.
    EXPECT_NE(report.find("  Symmetry code:\n    1   x,y,z\n"), std::string::npos);
    EXPECT_NE(report.find("  192   "), std::string::npos);
    EXPECT_EQ(report.find("  193   "), std::string::npos);
}

TEST(RunSequence, SpaceGroupMissingFromTheDataFileEndsInTheReport) {
    WorkDir work;
    std::string text = readFile(Examples / "NaCl.inp");
    text.replace(text.find("225   1"), 7, "225   3");
    writeFile(work / "in.inp", text);
    std::string console;
    ASSERT_EQ(work.run({"-b", (work / "in.inp").string(), (work / "out.txt").string()}, console),
              0);
    EXPECT_EQ(readFile(work / "out.txt"), "  F m -3 m space group not found !!!\n\n");
}

TEST(RunSequence, FailedSumsSayWhyTheReportEndsAfterItsDistances) {
    WorkDir work;
    std::string settings = readFile(work / "Tarnell.ini");
    settings.replace(settings.find("BV-B       =0.370"), 17, "BV-B       =0.000");
    writeFile(work / "Tarnell.ini", settings);
    std::string console;
    ASSERT_EQ(work.run({"-b", (Examples / "NaCl.inp").string(), (work / "out.txt").string()},
                       console),
              0);
    const std::string message = "  Error !!! BV-B must be positive, not 0.\n";
    EXPECT_NE(console.find(message), std::string::npos);
    const std::string report = readFile(work / "out.txt");
    EXPECT_NE(report.find("  2.82010  0.00005\n\n" + message + "\n"), std::string::npos);
    EXPECT_EQ(report.find("Bond valence sum"), std::string::npos);
}

TEST(RunSequence, MoreParameterSetsThanAPairMayHaveEndTheSearch) {
    WorkDir work;
    std::string table;
    for (int i = 0; i < 21; ++i) table += "Na 1 Cl 1 2.15 b\n";
    writeFile(work / "BVTable", table);
    std::string console;
    ASSERT_EQ(work.run({"-b", (Examples / "NaCl.inp").string(), (work / "out.txt").string()},
                       console),
              0);
    EXPECT_EQ(readFile(work / "out.txt"),
              "  Error !!!   More than 20 parameter sets for Na - Cl.\n\n");
}

}  // namespace
}  // namespace tarnell
