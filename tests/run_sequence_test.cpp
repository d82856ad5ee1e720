#include "engine/run_sequence.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <sstream>

#include "tests/test_files.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string NaClParameters = "Na 1 Cl 1 2.15 b\n";

// A working directory with the shipped settings and space-group files, the rock-salt example as
// "in.inp" and the report of an earlier run as "out.txt".
struct WorkDir {
    TempDir dir;
    WorkDir() {
        const std::filesystem::path source(TARNELL_SOURCE_DIR);
        for (const char* name : {"Tarnell.ini", "spgra.dat", "sgtrans.dat"}) {
            std::filesystem::copy_file(source / "data" / name, dir / name);
        }
        std::filesystem::copy_file(source / "examples" / "NaCl.inp", dir / "in.inp");
        writeFile(dir / "BVTable", NaClParameters + ReferenceHeader + "\n;\n");
        writeFile(dir / "out.txt", "an old report\n");
    }

    // Replaces the first `from` of one file by `to`.
    void edit(const std::string& name, const std::string& from, const std::string& to) const {
        std::string text = readFile(dir / name);
        text.replace(text.find(from), from.size(), to);
        writeFile(dir / name, text);
    }

    // Runs the engine on "in.inp" with the report at `output`, both in this directory.
    int run(const std::string& output, std::string& console) const {
        std::ostringstream out;
        const int status = runEngine(
            {"Tarnell", "-b", (dir / "in.inp").string(), (dir / output).string()}, dir.path(), out);
        console = out.str();
        return status;
    }
};

TEST(RunSequence, CellUncertaintiesAreCopiedAsTheCrystalSystemMakesParametersEqual) {
    const struct {
        CrystalSystem crystalSystem;
        int setting;
        std::array<double, 6> expected;
    } cases[] = {
        // Tetragonal, trigonal on hexagonal axes and cubic cells are in the bundled examples.
        {CrystalSystem::Orthorhombic, 1, {0.0002, 0, 0, 0.01, 0, 0}},
        {CrystalSystem::Trigonal, 2, {0.0002, 0.0002, 0.0002, 0.01, 0.01, 0.01}},  // rhombohedral
        {CrystalSystem::Hexagonal, 1, {0.0002, 0.0002, 0, 0.01, 0, 0}},
    };
    for (const auto& c : cases) {
        CrystalStructure s;
        s.crystalSystem = c.crystalSystem;
        s.sgSetting = c.setting;
        s.cell = {5, 5, 5, 80, 80, 80};
        s.cellSigma = {0.0002, 0, 0, 0.01, 0, 0};
        copyCellUncertainties(s);
        EXPECT_EQ(s.cellSigma, c.expected) << "system " << static_cast<int>(c.crystalSystem);
        EXPECT_EQ(s.cell, (std::array<double, 6>{5, 5, 5, 80, 80, 80}));
    }
}

// Every failure past the settings: the run completes with status 0, leaves nothing but its
// report, and the report, which replaces the old one, ends with the failing phase's message.
TEST(RunSequence, LaterFailuresEndInTheReportAndTheRunCompletes) {
    const std::string sumsFailure = "  Error !!! No reference section.\n";
    std::string tooManyParameters;
    for (int i = 0; i < 21; ++i) tooManyParameters += NaClParameters;
    const struct {
        const char* file;  // the file changed; none: the input is missing
        std::string from, to;
        std::string reportEnd;  // after the distance list, or the whole report without one
        std::string console;    // between the first and the last console line
    } cases[] = {
        {nullptr, "", "", "  Error !!!  DIR/in.inp file not found.\n\n", ""},
        {"in.inp", "225   1", "225   3", "  F m -3 m space group not found !!!\n\n", ""},
        {"Tarnell.ini", "D-min      =0.500", "D-min      =2.900",
         "  Error !!!  No distance entry within less then 3.500.\n\n", ""},
        {"BVTable", NaClParameters, tooManyParameters,
         "  Error !!!   More than 20 parameter sets for Na - Cl.\n\n", ""},
        // The sums fail after the report was written: it says why its last section is missing.
        {"BVTable", ReferenceHeader, "", sumsFailure + "\n", sumsFailure},
        // A cell of three angles of 170 degrees gave Ti-O 0.557 A; blanks in a label are "_".
        {"in.inp", "90.00000    90.00000    90.00000", "170.00000   170.00000   170.00000",
         "  Error !!!  Cell angles alpha = 170, beta = 170, gamma = 170 make no cell.\n\n", ""},
        {"in.inp", "    0.00010     0.00000", "    0.00010    -0.00010",
         "  Error !!!  Uncertainty -0.0001 of cell parameter b must be finite and not "
         "negative.\n\n",
         ""},
        {"BVTable", NaClParameters, "",
         "  Error !!!   DIR/BVTable holds no bond valence parameters.\n\n", ""},
    };
    for (const auto& c : cases) {
        WorkDir work;
        if (c.file) work.edit(c.file, c.from, c.to);
        if (!c.file) std::filesystem::remove(work.dir / "in.inp");
        writeFile(work.dir / "out.txt", "an old report");
        const std::vector<std::string> before = test::fileNamesIn(work.dir.path());
        std::string console;
        EXPECT_EQ(work.run("out.txt", console), 0);
        EXPECT_EQ(console,
                  "!!! Now calculating .... \n" + c.console + "\n  Calculation completed !\n\n");
        std::string report = readFile(work.dir / "out.txt");
        const std::string path = work.dir.path().string();
        for (std::size_t at; (at = report.find(path)) != std::string::npos;)
            report.replace(at, path.size(), "DIR");
        const std::size_t distances = report.find("  Searched distance:");
        // Without a distance list the report is the block of conditions and the failure.
        const std::size_t end =
            report.find("\n\n", distances == std::string::npos ? 0 : distances) + 2;
        EXPECT_EQ(report.substr(end), c.reportEnd) << report;
        EXPECT_EQ(test::fileNamesIn(work.dir.path()), before);
    }
}

// A batch takes files, folders (with their subfolders, structure files only, in name order) and
// lists of files.
TEST(RunSequence, BatchInputsFromFilesFoldersAndLists) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "cifs" / "sub");
    for (const char* name : {"cifs/z.cif", "cifs/sub/a.INP", "cifs/readme.md"})
        test::writeFile(dir / name, "");
    test::writeFile(dir / "list", "one.cif\n\n  \ntwo.lst\n");
    // "@" put in front without operator+, which GCC 12 warns about wrongly (-Wrestrict).
    const auto listArgument = [](const std::filesystem::path& list) {
        std::string argument = list.string();
        return argument.insert(0, 1, '@');
    };
    std::vector<std::filesystem::path> files;
    std::string message;
    for (const std::string& argument :
         {(dir / "x.cif").string(), (dir / "cifs").string(), listArgument(dir / "list")})
        ASSERT_EQ(test::codeOf(batchInputs(argument, files), message), 0) << argument;
    EXPECT_EQ(files,
              (std::vector<std::filesystem::path>{dir / "x.cif", dir / "cifs" / "sub" / "a.INP",
                                                  dir / "cifs" / "z.cif", "one.cif", "two.lst"}));
    EXPECT_EQ(test::codeOf(batchInputs(listArgument(dir / "no list"), files), message), -1);
    EXPECT_EQ(message, "  Error !!! List " + (dir / "no list").string() + " cannot be read.\n");
}

// The report replaced the structure file or the parameter table it was given as its path.
TEST(RunSequence, ReportPathOfAFileTheRunReadsGivesTheUsageTextAndDestroysNothing) {
    WorkDir work;
    std::filesystem::create_hard_link(work.dir / "spgra.dat", work.dir / "linked.dat");
    std::filesystem::create_symlink(work.dir / "in.inp", work.dir / "pointer.inp");
    std::filesystem::create_directory(work.dir / "sub");
    const std::vector<std::string> names = {"in.inp",    "Tarnell.ini", "BVTable",
                                            "spgra.dat", "sgtrans.dat", "out.txt"};
    std::vector<std::string> before;
    before.reserve(names.size());
    for (const std::string& name : names) before.push_back(readFile(work.dir / name));
    for (const std::string output : {"in.inp", "sub/../in.inp", "pointer.inp", "Tarnell.ini",
                                     "./BVTable", "spgra.dat", "linked.dat", "sgtrans.dat"}) {
        std::string console;
        EXPECT_EQ(work.run(output, console), -1) << output;
        EXPECT_EQ(console, std::string(UsageText) + "Ok?\n") << output;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(readFile(work.dir / names[i]), before[i]) << names[i];
    }
    // Without settings the files they name are not known, and the rest is still kept.
    std::filesystem::remove(work.dir / "Tarnell.ini");
    std::string console;
    EXPECT_EQ(work.run("BVTable", console), -1);
    EXPECT_EQ(readFile(work.dir / "BVTable"), before[2]);
}

// A report that could not be written ended with status 0 as if it had been.
TEST(RunSequence, ReportThatCannotBeWrittenEndsWithStatusOneAndNoRun) {
    WorkDir work;
    std::filesystem::create_directory(work.dir / "folder");
    std::vector<std::string> outputs = {"no-such-dir/out.txt", "folder", "out.txt/report"};
    writeFile(work.dir / "readonly.txt", "kept\n");
    std::filesystem::permissions(work.dir / "readonly.txt", std::filesystem::perms::owner_read);
    if (::geteuid() != 0) outputs.push_back("readonly.txt");  // root writes it all the same
    for (const std::string& output : outputs) {
        std::string console;
        EXPECT_EQ(work.run(output, console), 1) << output;
        EXPECT_EQ(console, "!!! Now calculating .... \n  Error !!! Output file " +
                               (work.dir / output).string() + " cannot be written.\n");
    }
    EXPECT_EQ(readFile(work.dir / "readonly.txt"), "kept\n");
    EXPECT_TRUE(std::filesystem::is_directory(work.dir / "folder"));
}

// The settings failure keeps its fixed line and says on the next one what to fix; the reasons
// themselves are the settings reader's.
TEST(RunSequence, SettingsFailureNamesTheKeyOrTheMissingFile) {
    for (const bool present : {false, true}) {
        WorkDir work;
        const std::filesystem::path settings = work.dir / "Tarnell.ini";
        if (present) work.edit("Tarnell.ini", "H-min      =", "H_min      =");
        if (!present) std::filesystem::remove(settings);
        std::string console;
        EXPECT_EQ(work.run("out.txt", console), -1);
        EXPECT_EQ(console, "!!! Now calculating .... \n  Error !!! Tarnell.ini file not found.\n" +
                               (present ? std::string("  Error !!!   H-min not found.\n")
                                        : "  Error !!!   " + settings.string() + " not found.\n") +
                               "Ok?\n");
        EXPECT_EQ(readFile(work.dir / "out.txt"), "an old report\n");
    }
}

}  // namespace
}  // namespace tarnell
