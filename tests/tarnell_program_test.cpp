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

}  // namespace
}  // namespace tarnell
