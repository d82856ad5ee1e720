// Inputs that once gave a number without a word, lost a file or ran for minutes: each is now
// refused naming what is wrong, or read as it is written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "tests/engine_runs.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(HostileInput, TableLinesThatDoNotReadWholeAndPlausiblyRefuseTheTable) {
    const struct {
        const char* line;
    } cases[] = {
        {"Mg 2 O 2 1.6g3 a 0.37"},  // a typo: the next alternative would take its place
        {"Mg 2 O 2 inf a 0.37"},    {"Mg 2 O 2 nan a 0.37"},
        {"Mg 2 O 2 0 a 0.37"},     // skipped by the sums, used by the summary
        {"Mg 2 O 2 1000 a 0.37"},  // BVS = inf
        {"Mg 2 O 2 1.693 a 0"},     {"Mg 2 O 2 1.693 a 2.5"},
        {"Mg 2 O 2 1.693 a 0.37x"}, {"Mg 2 O 2 1.693 a 0.37 more"},
        {"Mg 2 O 2 1.693"},  // no reference
        {"Mg two O 2 1.693 a"},     {"Mg 2 O 20 1.693 a"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        writeFile(dir / "BVTable",
                  std::string("; comment\nNa 1 O 2 1.803 a 0.37\n") + c.line + "\n");
        ParameterTable table;
        std::string message;
        EXPECT_EQ(test::codeOf(loadParameterTable(dir / "BVTable", table), message), -1);
        EXPECT_NE(message.find("Line 3 of "), std::string::npos) << message;
        EXPECT_NE(message.find(c.line), std::string::npos) << message;
    }
    // Comments, blank and indented lines are no data lines; a line without b takes BV-B.
    writeFile(dir / "BVTable", "; c\n\n  indented text\nNa 1 O 2 1.803 a\nMg 2 O 2 1.693 b 0.37\n");
    ParameterTable table;
    std::string message;
    ASSERT_EQ(test::codeOf(loadParameterTable(dir / "BVTable", table), message), 0) << message;
    ASSERT_EQ(table.lines.size(), 2u);
    EXPECT_EQ(table.lines[0].b, 0.0);
    EXPECT_EQ(table.lines[1].b, 0.37);
}

// The built working directory with the rock-salt example.
void prepareWorkDir(const TempDir& dir) {
    test::copyBuiltWorkDir(dir);
    std::filesystem::copy_file(std::filesystem::path(TARNELL_SOURCE_DIR) / "examples" / "NaCl.inp",
                               dir / "NaCl.inp");
}

TEST(HostileInput, BatchOutputsThatCannotBeWrittenEndWithExitOne) {
    const struct {
        const char* what;
        void (*prepare)(const TempDir&);
    } cases[] = {
        {"a report that links to the parameter table",
         [](const TempDir& dir) {
             std::filesystem::create_directory(dir / "out");
             std::filesystem::create_symlink(dir / "BVTable", dir / "out" / "NaCl.out");
         }},
        {"a JSON that links to the settings",
         [](const TempDir& dir) {
             std::filesystem::create_directory(dir / "out");
             std::filesystem::create_symlink("../Tarnell.ini", dir / "out" / "NaCl.json");
         }},
        {"a report that is a folder",
         [](const TempDir& dir) { std::filesystem::create_directories(dir / "out" / "NaCl.out"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        prepareWorkDir(dir);
        const std::string table = readFile(dir / "BVTable");
        const std::string settings = readFile(dir / "Tarnell.ini");
        c.prepare(dir);
        const test::Outcome run = test::runTarnell(dir, "--batch out NaCl.inp");
        EXPECT_EQ(run.exitStatus, 1) << run.console;
        EXPECT_EQ(readFile(dir / "BVTable"), table);
        EXPECT_EQ(readFile(dir / "Tarnell.ini"), settings);
        for (const auto& entry : std::filesystem::directory_iterator(dir / "out"))
            EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    }
}

TEST(HostileInput, ListLinesAreTrimmedAndAFolderInAListIsExpanded) {
    TempDir dir;
    prepareWorkDir(dir);
    std::filesystem::create_directory(dir / "more");
    std::filesystem::copy_file(dir / "NaCl.inp", dir / "more" / "rocksalt.inp");
    writeFile(dir / "list.txt", "NaCl.inp   \n  more\t\n\n");
    const test::Outcome run = test::runTarnell(dir, "--batch out @list.txt");
    EXPECT_EQ(run.exitStatus, 0) << run.console;
    const std::string summary = readFile(dir / "out" / "summary.csv");
    EXPECT_NE(summary.find("NaCl.inp,"), std::string::npos) << summary;
    EXPECT_NE(summary.find("rocksalt.inp,"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("failed"), std::string::npos) << summary;
}

TEST(HostileInput, OwnOperatorsWithoutTheIdentityAreRefused) {
    const struct {
        std::vector<std::string> operators;
        bool refused;
    } cases[] = {
        {{"-x,-y,-z", "x+1/2,y+1/2,z"}, true},  // rock salt would get 6 ions per cell, not 8
        {{"x+1/2,y,z"}, true},
        {{"-x,-y,-z", "x+1,y,z-1"}, false},  // the identity up to a lattice translation
        {{"x,y,z", "-x,-y,-z"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operators.front());
        CrystalStructure structure;
        structure.sgNumber = 225;
        structure.symmetryOperators = c.operators;
        SpaceGroupRecord record;
        OperatorTable table;
        std::string message;
        EXPECT_EQ(test::codeOf(readFileGroup(structure, record, table), message),
                  c.refused ? -1 : 0);
        if (c.refused) {
            EXPECT_NE(message.find("identity x,y,z"), std::string::npos) << message;
        }
    }
}

// The examples of forsterite, cut inside their lists of sites.
TEST(HostileInput, FilesCutInsideTheirSitesAreRefusedAsIncomplete) {
    const std::filesystem::path examples = std::filesystem::path(TARNELL_SOURCE_DIR) / "examples";
    const struct {
        const char* file;
        ReaderMode mode;
        const char* keptUpTo;  // the file is cut after the line that starts with this
    } cases[] = {
        {"forsterite_pbnm_older.txt", ReaderMode::IcsdText, "      O     2"},
        {"forsterite_pbnm_older.txt", ReaderMode::IcsdText, "      O     3"},
        {"forsterite_pbnm_structured.txt", ReaderMode::IcsdText, "O     2"},
        {"forsterite_pbnm_structured.txt", ReaderMode::IcsdText, "O     3"},
        {"forsterite.lst", ReaderMode::MorvekListing, "  O2 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " cut after " + c.keptUpTo);
        const std::string whole = readFile(examples / c.file);
        const std::size_t at = whole.find(std::string("\n") + c.keptUpTo);
        ASSERT_NE(at, std::string::npos);
        std::size_t end = whole.find('\n', at + 1) + 1;
        // A listing's site is two lines: the cut keeps both.
        if (c.mode == ReaderMode::MorvekListing) end = whole.find('\n', end) + 1;
        CrystalStructure structure;
        std::string message;
        const ReaderContext context{3.5, test::builtWorkDir() / "sgtrans.dat"};
        ASSERT_EQ(
            test::codeOf(readStructureText(c.mode, whole, c.file, structure, context), message), 0)
            << message;
        EXPECT_EQ(test::codeOf(
                      readStructureText(c.mode, whole.substr(0, end), c.file, structure, context),
                      message),
                  -1);
        EXPECT_NE(message.find("ends before its last line"), std::string::npos) << message;
    }
}

// A working directory with NaCl, the given settings lines replaced, and `table` as BVTable.
std::string reportOfNaCl(const std::string& bvB, const std::string& table) {
    TempDir dir;
    prepareWorkDir(dir);
    std::string settings = readFile(dir / "Tarnell.ini");
    settings.replace(settings.find("BV-B       =0.370"), 17, "BV-B       =" + bvB);
    writeFile(dir / "Tarnell.ini", settings);
    if (!table.empty()) writeFile(dir / "BVTable", table);
    EXPECT_EQ(test::runTarnell(dir, "-b NaCl.inp out.txt -j out.json").exitStatus, 0);
    return readFile(dir / "out.txt") + readFile(dir / "out.json");
}

TEST(HostileInput, NoLineOfBvBAndResultsThatAreNotFiniteAreSaid) {
    // The built table has no line of b = 0.35; lines of 0.37 would list NaCl's bonds.
    const std::string noLines = reportOfNaCl("0.350", "");
    EXPECT_NE(noLines.find("No parameter line has b = BV-B = 0.35"), std::string::npos) << noLines;
    EXPECT_EQ(noLines.find("No distance entry"), std::string::npos) << noLines;
    // A line without b takes BV-B; R0 above the distance and a tiny BV-B give exp(18000).
    const std::string infinite =
        reportOfNaCl("0.00001",
                     "Na 1 Cl 1 3.0 a\n;************************* REFERENCES "
                     "****************************\n; id reference\n   a  none\n");
    EXPECT_NE(infinite.find("is not a finite number"), std::string::npos) << infinite;
    EXPECT_EQ(infinite.find("\"status\": \"ok\""), std::string::npos) << infinite;
}

TEST(HostileInput, SpaceGroupFileThatIsNoRegularFileIsNamedAndNeverWaitedFor) {
    const struct {
        const char* what;
        void (*make)(const std::filesystem::path&);
    } cases[] = {
        {"a FIFO",
         [](const std::filesystem::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"a folder",
         [](const std::filesystem::path& path) { std::filesystem::create_directory(path); }},
    };
    for (const auto& c : cases) {
        for (const char* run : {"-b NaCl.inp out.txt", "--batch out NaCl.inp"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + run);
            TempDir dir;
            prepareWorkDir(dir);
            std::filesystem::remove(dir / "spgra.dat");
            c.make(dir / "spgra.dat");
            // A read of the FIFO would wait for a writer that never comes.
            test::runTarnell(dir, run, "timeout -k 9 20");
            const std::string report = std::string(run).starts_with("-b")
                                           ? readFile(dir / "out.txt")
                                           : readFile(dir / "out" / "NaCl.out");
            EXPECT_NE(report.find("spgra.dat"), std::string::npos) << report;
            EXPECT_EQ(report.find("NaCl.inp cannot be read"), std::string::npos) << report;
        }
    }
}

TEST(HostileInput, BatchReadsTheSpaceGroupFileAsASingleRunDoes) {
    TempDir dir;
    prepareWorkDir(dir);
    // A NUL byte in a line of the group's record.
    std::string data = readFile(dir / "spgra.dat");
    const std::size_t record = data.find("\n225 ");
    ASSERT_NE(record, std::string::npos);
    data.insert(data.find('\n', record + 1) - 1, 1, '\0');
    writeFile(dir / "spgra.dat", data);
    EXPECT_EQ(test::runTarnell(dir, "-b NaCl.inp out.txt").exitStatus, 0);
    EXPECT_EQ(test::runTarnell(dir, "--batch out NaCl.inp").exitStatus, 0);
    EXPECT_EQ(readFile(dir / "out" / "NaCl.out"), readFile(dir / "out.txt"));
}

TEST(HostileInput, AnInterruptedBatchLeavesNoTemporaryFile) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        prepareWorkDir(dir);
        std::string list;
        for (int i = 0; i < 3000; ++i) list += "NaCl.inp\n";
        writeFile(dir / "list.txt", list);
        // Started directly: a shell would start it with SIGINT ignored, as for any command in
        // the background, and a signal that is ignored stays so.
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
            std::freopen("console.txt", "w", stdout);
            ::execl(TARNELL_EXE, TARNELL_EXE, "--batch", "out", "@list.txt", nullptr);
            ::_exit(127);
        }
        ::usleep(500000);
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        ASSERT_TRUE(std::filesystem::exists(dir / "out"));
        int outputs = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
            EXPECT_NE(entry.path().extension(), ".part") << entry.path();
            ++outputs;
        }
        // Stopped while writing, not before or after.
        EXPECT_GT(outputs, 0);
        EXPECT_FALSE(std::filesystem::exists(dir / "out" / "summary.csv"));
    }
}

}  // namespace
}  // namespace tarnell
