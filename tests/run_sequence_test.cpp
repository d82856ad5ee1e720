#include "engine/run_sequence.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::filesystem::path Examples = std::filesystem::path(TARNELL_SOURCE_DIR) / "examples";

// A working directory with the shipped settings file.
struct WorkDir {
    TempDir dir;
    WorkDir() { writeFile(dir / "Tarnell.ini", test::shippedSettings()); }
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

TEST(RunSequence, ReaderFailureEndsInTheReportAndRemovesTheScratchFiles) {
    WorkDir work;
    // Left behind by an earlier run that was killed.
    writeFile(work / "ftemp1.$$$", "stale");
    writeFile(work / "ftemp2.$$$", "stale");
    const std::string missing = (work / "missing.inp").string();
    std::string console;
    EXPECT_EQ(work.run({"-b", missing, (work / "out.txt").string()}, console), 0);
    EXPECT_EQ(console, "!!! Now calculating .... \n\n  Calculation completed !\n\n");
    EXPECT_EQ(readFile(work / "out.txt"), "  Error !!!  " + missing + " file not found.\n\n");
    EXPECT_FALSE(std::filesystem::exists(work / "ftemp1.$$$"));
    EXPECT_FALSE(std::filesystem::exists(work / "ftemp2.$$$"));
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

TEST(RunSequence, NativeFileReachesTheReport) {
    WorkDir work;
    std::string console;
    ASSERT_EQ(work.run({"-b", (Examples / "NaCl.inp").string(), (work / "out.txt").string()},
                       console),
              0);
    const std::string report = readFile(work / "out.txt");
    EXPECT_EQ(report.substr(0, report.find('\n') + 1), "  Title      : Sodium chloride, rock salt\n");
    EXPECT_NE(report.find("  Cl1     -1.000000    0.500000    0.500000    0.500000\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tarnell
