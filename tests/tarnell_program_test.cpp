// Runs the built Tarnell as a user or Kestrin would: in its own working directory, with no
// terminal on standard input, so it must never wait for a key.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

struct Outcome {
    int exitStatus = -1;
    std::string console;
};

// Runs Tarnell with `arguments` (already quoted for the shell) in `dir`.
Outcome runTarnell(const TempDir& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.path().string() + "' && '" TARNELL_EXE "' " +
                                arguments + " < /dev/null > console.txt 2>&1";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.console = readFile(dir / "console.txt");
    return outcome;
}

TEST(TarnellProgram, UsageAndSettingsFailuresExitWith255WithoutWaitingOrTouchingTheOutput) {
    TempDir dir;
    writeFile(dir / "out.txt", "an old report\n");
    for (const char* arguments : {"", "-b", "-b in.inp", "-x in.inp out.txt", "-B in.inp out.txt",
                                  "b in.inp out.txt"}) {
        const Outcome outcome = runTarnell(dir, arguments);
        EXPECT_EQ(outcome.exitStatus, 255) << arguments;
        EXPECT_EQ(outcome.console,
                  "Invalid usage !!!\n"
                  " ex. <Tarnell -b inpfile outfile> for Tarnell file\n"
                  "     <Tarnell -r inpfile outfile> for Morvek lst file\n"
                  "     <Tarnell -i inpfile outfile> for ICSD file\n"
                  "     <Tarnell -c inpfile outfile> for CIF file\n"
                  "Ok?\n")
            << arguments;
    }
    // No settings file, and then one that lacks a key: the same fixed line, then what is wrong.
    std::string settings = test::shippedSettings();
    settings.replace(settings.find("H-min      ="), 5, "H_min");
    const std::string missing = (std::filesystem::canonical(dir.path()) / "Tarnell.ini").string();
    for (const bool present : {false, true}) {
        if (present) writeFile(dir / "Tarnell.ini", settings);
        const Outcome outcome = runTarnell(dir, "-b in.inp out.txt");
        EXPECT_EQ(outcome.exitStatus, 255);
        EXPECT_EQ(outcome.console,
                  "!!! Now calculating .... \n  Error !!! Tarnell.ini file not found.\n" +
                      (present ? std::string("  Error !!!   H-min not found.\n")
                               : "  Error !!!   " + missing + " not found.\n") +
                      "Ok?\n");
    }
    EXPECT_EQ(readFile(dir / "out.txt"), "an old report\n");
}

// Scripts and Kestrin tell a report that was not written by the status.
TEST(TarnellProgram, ReportThatCannotBeWrittenEndsWithStatusOne) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini", test::shippedSettings());
    const Outcome outcome = runTarnell(dir, "-b in.inp no-such-dir/out.txt");
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.console,
              "!!! Now calculating .... \n  Error !!! Output file no-such-dir/out.txt cannot be "
              "written.\n");
}

TEST(TarnellProgram, FailedReadEndsWithStatusZeroAndTheMessageInTheReport) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini", test::shippedSettings());
    // Left behind by an earlier run that was killed: gone after this one.
    writeFile(dir / "ftemp1.$$$", "stale");
    writeFile(dir / "ftemp2.$$$", "stale");
    const Outcome outcome = runTarnell(dir, "-b 'no such file.inp' out.txt");
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.console, "!!! Now calculating .... \n\n  Calculation completed !\n\n");
    EXPECT_EQ(readFile(dir / "out.txt"), "  Error !!!  no such file.inp file not found.\n\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "ftemp1.$$$"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ftemp2.$$$"));
}

// The expected reports were checked once by hand and against tools/check_report.py, an
// independent brute-force calculation in Cartesian coordinates with exact operators and
// numerical derivatives: every distance and sigma(d) to 2e-5 Å, every sum to 0.0001 v.u. By hand:
// NaCl has six Na–Cl bonds of a/2 = 2.8201 Å, 6·exp((2.15 - 2.8201)/0.37) = 0.9809; rutile Ti has
// four bonds of 1.9485 Å and two of 1.9801 Å, 4.0686; hematite Fe has three bonds of 1.9443 Å and
// three of 2.1140 Å, 2.9675 with r0 = 1.759 and 2.7736 with r0 = 1.734.
const std::filesystem::path Source(TARNELL_SOURCE_DIR);
const std::filesystem::path Expected = Source / "tests" / "data" / "reports";

// The report of `input` read with `option`, in a working directory with the parameters of the
// checked reports.
std::string reportOf(const std::string& option, const std::filesystem::path& input) {
    TempDir dir;
    for (const auto& file : {Expected / "Tarnell.ini", Expected / "BVTable",
                             Source / "data" / "spgra.dat", Source / "data" / "sgtrans.dat"}) {
        std::filesystem::copy_file(file, dir / file.filename().string());
    }
    const Outcome outcome = runTarnell(dir, option + " '" + input.string() + "' out.txt");
    EXPECT_EQ(outcome.exitStatus, 0);
    return readFile(dir / "out.txt");
}

TEST(TarnellProgram, BundledExamplesGiveTheirCheckedReports) {
    for (const char* name : {"NaCl", "TiO2-rutile", "Fe2O3-hematite"}) {
        const std::string report = reportOf("-b", Source / "examples" / (std::string(name) + ".inp"));
        EXPECT_TRUE(report == readFile(Expected / (std::string(name) + ".out"))) << name;
    }
}

// One structure in every format: the ICSD exports and CIF files in P b n m axes and in cell
// choice 2 of P 1 21/c 1, and the Morvek listings, give the distances and sums of the native
// files.
TEST(TarnellProgram, EveryFormatOfOneStructureGivesTheSameSums) {
    const auto fromDistances = [](const std::string& report) {
        const std::size_t start = report.find("  Searched distance:");
        return start == std::string::npos ? std::string("no distances in:\n" + report)
                                          : report.substr(start);
    };
    const std::filesystem::path examples = Source / "examples";
    for (const char* name : {"forsterite", "monazite"}) {
        const std::string native = fromDistances(reportOf("-b", examples / (std::string(name) + ".inp")));
        EXPECT_NE(native.find("  Bond valence sum:"), std::string::npos) << native;
        EXPECT_EQ(fromDistances(reportOf("-r", examples / (std::string(name) + ".lst"))), native);
        const std::filesystem::path cif = name[0] == 'f'
                                              ? examples / "forsterite.cif"
                                              : Source / "tests/data/cif/monazite_operators_only.cif";
        EXPECT_EQ(fromDistances(reportOf("-c", cif)), native);
        for (const std::string& icsd : {std::string(name) + (name[0] == 'f' ? "_pbnm" : "") + "_older.txt",
                                        std::string(name) + (name[0] == 'f' ? "_pbnm" : "") + "_structured.txt"}) {
            EXPECT_EQ(fromDistances(reportOf("-i", examples / icsd)), native) << icsd;
        }
    }
}

}  // namespace
}  // namespace tarnell
