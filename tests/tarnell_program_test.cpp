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

TEST(TarnellProgram, UsageAndSettingsFailuresExitWith255WithoutWaiting) {
    TempDir dir;
    Outcome outcome = runTarnell(dir, "-b only-two");
    EXPECT_EQ(outcome.exitStatus, 255);
    EXPECT_EQ(outcome.console.substr(0, 17), "Invalid usage !!!");
    EXPECT_EQ(outcome.console.substr(outcome.console.size() - 4), "Ok?\n");

    outcome = runTarnell(dir, "-b in.inp out.txt");
    EXPECT_EQ(outcome.exitStatus, 255);
    EXPECT_EQ(outcome.console,
              "!!! Now calculating .... \n  Error !!! Tarnell.ini file not found.\nOk?\n");
}

TEST(TarnellProgram, FailedReadEndsWithStatusZeroAndTheMessageInTheReport) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini", test::shippedSettings());
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
TEST(TarnellProgram, BundledExamplesGiveTheirCheckedReports) {
    const std::filesystem::path source(TARNELL_SOURCE_DIR);
    const std::filesystem::path expected = source / "tests" / "data" / "reports";
    for (const char* name : {"NaCl", "TiO2-rutile", "Fe2O3-hematite"}) {
        TempDir dir;
        for (const auto& file : {expected / "Tarnell.ini", expected / "BVTable",
                                 source / "data" / "spgra.dat", source / "data" / "sgtrans.dat"}) {
            std::filesystem::copy_file(file, dir / file.filename().string());
        }
        const std::string input = (source / "examples" / name).string() + ".inp";
        const Outcome outcome = runTarnell(dir, "-b '" + input + "' out.txt");
        EXPECT_EQ(outcome.exitStatus, 0);
        EXPECT_TRUE(readFile(dir / "out.txt") == readFile(expected / (std::string(name) + ".out")))
            << name;
    }
}

}  // namespace
}  // namespace tarnell
