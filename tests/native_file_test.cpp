#include "structure/native_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "settings/text.h"
#include "structure/structure_reader.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

CrystalStructure sampleStructure() {
    CrystalStructure s;
    s.title = "  Fe2O3 hematite, 295 K  ";
    s.sgName = "R -3 c";
    s.sgNumber = 167;
    s.sgSetting = 1;
    s.cell = {5.0356123, 5.0356, 13.7489, 90, 90, 120};
    s.cellSigma = {0.0002, 0, 0.0007, 0, 0, 0};
    Site fe{"Fe1", 1.0, 0, 0, 0.355261, 0, 0, 0.000004, 3, 2.8};
    Site o{"O1", 0.75, 0.30592, 0, 0.25, 0.0004, 0, 0, -2, 3.0};
    const std::string longLabel = "Oxygen_with_a_very_long_label_of_more_than_34_characters";
    s.sites = {fe, o, Site{longLabel, 0.5, -0.1, 0.5, 0.999999, 0, 0, 0, -2, 3.0}};
    return s;
}

// The sample as the writer gives it: a label longer than its four places is written whole.
const std::string SampleFile =
    "# Title\n"
    "  Fe2O3 hematite, 295 K  \n"
    "# Name of space group\n"
    "R -3 c\n"
    "# Number and setting number of space group\n"
    "167   1\n"
    "# Unit cell parameters\n"
    "    5.03561     5.03560    13.74890    90.00000    90.00000   120.00000\n"
    "    0.00020     0.00000     0.00070     0.00000     0.00000     0.00000\n"
    "# Number of sites\n"
    "  3\n"
    "# Crystal data: name, g, x, y, z, charge, d-limit\n"
    "  Fe1    1.00000   0.00000   0.00000   0.35526   3.00000   2.80000\n"
    "                   0.00000   0.00000   0.00000\n"
    "  O1     0.75000   0.30592   0.00000   0.25000  -2.00000   3.00000\n"
    "                   0.00040   0.00000   0.00000\n"
    "  Oxygen_with_a_very_long_label_of_more_than_34_characters   0.50000  -0.10000"
    "   0.50000   1.00000  -2.00000   3.00000\n"
    "                   0.00000   0.00000   0.00000\n";

int readNative(const std::filesystem::path& path, CrystalStructure& s, std::string& message,
               Program wording = Program::Engine) {
    return test::codeOf(readStructure(ReaderMode::NativeFile, path, s, ReaderContext{3.0, {}}),
                        message, wording);
}

// The file as written, read back by either program and written again, gives the same file:
// every field came back, the title with its blanks and the long label whole.
TEST(NativeFile, WriterGivesTheExactLayoutAndItsFileReadsBackToFiveDecimals) {
    TempDir dir;
    std::string message;
    ASSERT_EQ(test::codeOf(writeStructureFile(sampleStructure(), dir / "a.inp"), message), 0)
        << message;
    EXPECT_EQ(readFile(dir / "a.inp"), SampleFile);
    std::string crlf;  // the same file written on Windows
    for (char c : SampleFile) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    writeFile(dir / "b.inp", crlf);

    for (const auto& [file, wording] : {std::pair{"a.inp", Program::Engine},
                                        {"a.inp", Program::FrontEnd},
                                        {"b.inp", Program::Engine}}) {
        CrystalStructure back;
        ASSERT_EQ(readNative(dir / file, back, message, wording), 0) << message;
        ASSERT_EQ(test::codeOf(writeStructureFile(back, dir / "again.inp"), message), 0) << message;
        EXPECT_EQ(readFile(dir / "again.inp"), SampleFile) << file;
        EXPECT_DOUBLE_EQ(back.cell[0], 5.03561);
        EXPECT_DOUBLE_EQ(back.sites[0].sz, 0.0);  // 0.000004 is written as 0.00000
    }
}

TEST(NativeFile, ReadFailuresAreWordedForEachProgramAndGiveNoSites) {
    TempDir dir;
    CrystalStructure sample = sampleStructure();
    std::string message;
    // Far more sites than the three digits of the count's field: the field widens.
    sample.sites.assign(12345, sample.sites[1]);
    for (int i = 0; i < 12345; ++i) sample.sites[i].name = formatText("O%d", i + 1);
    ASSERT_EQ(test::codeOf(writeStructureFile(sample, dir / "large.inp"), message), 0);
    CrystalStructure back;
    ASSERT_EQ(readNative(dir / "large.inp", back, message), 0) << message;
    ASSERT_EQ(back.siteCount(), 12345);
    EXPECT_EQ(back.sites[12344].name, "O12345");
    EXPECT_EQ(back.sites[12344].x, sample.sites[12344].x);
    // The writer will not make more sites than the guard; a hand-edited count can.
    std::string text81 = SampleFile;
    text81.replace(text81.find("\n  3\n"), 5, "\n 100001\n");

    const std::string cutEngine = "  Error !!!  %s file ends before its last line.\n";
    const std::string cutFrontEnd = "  %s file ends before its last line !!!\n";
    const struct {
        std::optional<std::string> text;  // none: no file
        std::string engine, frontEnd;     // %s stands for the path
    } cases[] = {
        {std::nullopt, "  Error !!!  %s file not found.\n", "  %s file not found !!!\n"},
        // Cut before its last line, before the sites, and to nothing.
        {SampleFile.substr(0, SampleFile.rfind("\n ") + 1), cutEngine, cutFrontEnd},
        {SampleFile.substr(0, SampleFile.find("# Crystal data")), cutEngine, cutFrontEnd},
        {"", cutEngine, cutFrontEnd},
        {text81, "  Error !!!  Number of species exceeds over 100000.",
         "  Number of species exceeds over 100000 !!!"},
    };
    const std::filesystem::path path = dir / "in.inp";
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        if (c.text) writeFile(path, *c.text);
        for (const auto& [wording, expected] :
             {std::pair{Program::Engine, c.engine}, {Program::FrontEnd, c.frontEnd}}) {
            CrystalStructure s;
            s.uniqueAxis = "b";
            EXPECT_EQ(readNative(path, s, message, wording), -1);
            EXPECT_EQ(message, formatText(expected.c_str(), path.string().c_str()));
            EXPECT_EQ(s.siteCount(), 0);
            EXPECT_EQ(s.uniqueAxis, "");
        }
    }
}

// A half-read line gave made-up values: a cell line "4.7589" was the cell 4.7589 0 0 0 0 0, and
// a site without its charge and limit silently got no sum.
TEST(NativeFile, EveryValueReadsWholeOrItsLineAndTokenAreNamed) {
    TempDir dir;
    const std::string good =
        "#\nT\n#\nP 1\n#\n  1   1\n#\n  5.0 6.0 7.0 90 90 90\n  0 0 0 0 0 0\n#\n  1\n#\n"
        "  Na1  1.0  0.1  0.2  0.3  1.0  3.0\n                  0 0 0\n";
    const std::string count = "  Error !!!  Line %d of %s holds %d values instead of %d.\n";
    const std::string token = "  Error !!!  \"%s\" in line %d of %s is not a valid number.\n";
    const std::filesystem::path path = dir / "in.inp";
    const std::string name = path.string();
    const struct {
        std::string from, to;
        std::string expected;
    } cases[] = {
        {"5.0 6.0 7.0 90 90 90", "4.7589", formatText(count.c_str(), 8, name.c_str(), 1, 6)},
        {"5.0 6.0 7.0 90 90 90", "5 6 7 90 90 90 1",
         formatText(count.c_str(), 8, name.c_str(), 7, 6)},
        {"6.0 7.0", "abc 7.0", formatText(token.c_str(), "abc", 8, name.c_str())},
        {"6.0 7.0", "0x1p3 7.0", formatText(token.c_str(), "0x1p3", 8, name.c_str())},
        {"6.0 7.0", "6.0, 7.0", formatText(token.c_str(), "6.0,", 8, name.c_str())},
        {"  0 0 0 0 0 0", "  0 0 inf 0 0 0", formatText(token.c_str(), "inf", 9, name.c_str())},
        {"  1   1", "  1", formatText(count.c_str(), 6, name.c_str(), 1, 2)},
        {"  1   1", "  1.5 1", formatText(token.c_str(), "1.5", 6, name.c_str())},
        {"#\n  1\n#\n  Na1", "#\n  -1\n#\n  Na1",
         formatText(token.c_str(), "-1", 11, name.c_str())},
        {"#\n  1\n#\n  Na1", "#\n  1x\n#\n  Na1",
         formatText(token.c_str(), "1x", 11, name.c_str())},
        {"  1.0  3.0\n", "\n", formatText(count.c_str(), 13, name.c_str(), 4, 6)},
        {"0.2  0.3", "zz  0.3", formatText(token.c_str(), "zz", 13, name.c_str())},
        {"  Na1  1.0  0.1  0.2  0.3  1.0  3.0", "",
         formatText(count.c_str(), 13, name.c_str(), 0, 6)},
        {"                  0 0 0\n", "                  0 0\n",
         formatText(count.c_str(), 14, name.c_str(), 2, 3)},
    };
    for (const auto& c : cases) {
        std::string text = good;
        text.replace(text.find(c.from), c.from.size(), c.to);
        writeFile(path, text);
        CrystalStructure s;
        std::string message;
        EXPECT_EQ(readNative(path, s, message), -1) << c.to;
        EXPECT_EQ(message, c.expected) << c.to;
        EXPECT_EQ(s.siteCount(), 0);
    }
    // Numbers that cannot be computed with are refused naming them; their site line was
    // "1.0  0.1  0.2  0.3  1.0  3.0" (g, x, y, z, charge, d-limit) and its uncertainties "0 0 0".
    const std::string site = "1.0  0.1  0.2  0.3  1.0  3.0", sigma = "         0 0 0";
    const std::pair<std::string, const char*> values[] = {
        // One lattice translation from 0.16296, but with its fraction lost.
        {"1.0 10000000.16296 0.2 0.3 1.0 3.0", "Coordinate x = 10000000.16"},
        {"1.0 0.1 -1e300 0.3 1.0 3.0", "Coordinate y = -1e+300"},
        {"         0 -0.001 0", "Uncertainty -0.001 of coordinate y"},
        {"         0 0 1e300", "Uncertainty 1e+300 of coordinate z"},
        {"-0.5 0.1 0.2 0.3 1.0 3.0", "Occupancy -0.5 of species Na1"},
        {"1e300 0.1 0.2 0.3 1.0 3.0", "Occupancy 1e+300 of species Na1"},
        {"1.2 0.1 0.2 0.3 1.0 3.0", "Occupancy 1.2 of species Na1"},
        {"1.0 0.1 0.2 0.3 1e10 3.0", "Valence 1e+10 of species Na1"},
        {"1.0 0.1 0.2 0.3 -9 3.0", "Valence -9 of species Na1"},
        {"1.0 0.1 0.2 0.3 1.0 -3.2", "Distance limit -3.2 of species Na1"},
        {"1.0 0.1 0.2 0.3 1.0 1e9", "Distance limit 1e+09 of species Na1"},
        {"1.0 0.1 0.2 0.3 1.0 10.5", "Distance limit 10.5 of species Na1 must lie from 0 to 10"},
        {"1.04 0.1 0.2 0.3 1.0 3.0", nullptr},  // an occupancy rounded in the file's figures
    };
    for (const auto& [to, words] : values) {
        std::string text = good;
        const std::string& from = to.starts_with("   ") ? sigma : site;
        text.replace(text.find(from), from.size(), to);
        writeFile(path, text);
        CrystalStructure s;
        std::string message;
        EXPECT_EQ(readNative(path, s, message), words ? -1 : 0) << to << message;
        if (words) {
            EXPECT_NE(message.find(words), std::string::npos) << message;
        }
    }
    // The file as it stood reads; the front end words the same failure its own way.
    CrystalStructure s;
    std::string message;
    writeFile(path, good);
    ASSERT_EQ(readNative(path, s, message), 0) << message;
    EXPECT_EQ(s.cell, (std::array<double, 6>{5, 6, 7, 90, 90, 90}));
    std::string text = good;
    text.replace(text.find("  1.0  3.0\n"), 11, "\n");
    writeFile(path, text);
    EXPECT_EQ(readNative(path, s, message, Program::FrontEnd), -1);
    EXPECT_EQ(message, "  Line 13 of " + name + " holds 4 values instead of 6 !!!\n");
}

TEST(NativeFile, WriterRefusesWhatTheReaderCouldNotGiveBack) {
    TempDir dir;
    const struct {
        void (*change)(CrystalStructure&);
        const char* file;
        const char* inMessage;
    } cases[] = {
        // A blank in a label would shift every number of its line.
        {[](CrystalStructure& s) { s.sites[1].name = "O 1"; }, "a.inp", "\"O 1\""},
        {[](CrystalStructure& s) { s.title = "two\nlines"; }, "a.inp", "Title"},
        {[](CrystalStructure& s) { s.sites.assign(MaxSites + 1, s.sites[1]); }, "a.inp",
         "  Number of species exceeds over 100000 !!!"},
        {[](CrystalStructure&) {}, "no-such-dir/a.inp", "no-such-dir"},
    };
    for (const auto& c : cases) {
        CrystalStructure s = sampleStructure();
        c.change(s);
        std::string message;
        EXPECT_EQ(test::codeOf(writeStructureFile(s, dir / c.file), message, Program::FrontEnd), -1)
            << c.inMessage;
        EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
        EXPECT_FALSE(std::filesystem::exists(dir / c.file));
    }
}

// A structure with operators of its own origin keeps them through the file that Kestrin hands
// the engine; a file without them reads as before.
TEST(NativeFile, OperatorsOfAnOwnOriginTravelAfterTheSites) {
    TempDir dir;
    CrystalStructure s = sampleStructure();
    s.symmetryOperators = {"x,y,z", "-x,y+1/2,-z", "-x+1/2,-y,-z+1/2", "x+1/2,-y+1/2,z+1/2"};
    std::string message;
    ASSERT_EQ(test::codeOf(writeStructureFile(s, dir / "own.inp"), message), 0) << message;
    EXPECT_TRUE(readFile(dir / "own.inp").starts_with(SampleFile));
    CrystalStructure back;
    ASSERT_EQ(readNative(dir / "own.inp", back, message), 0) << message;
    EXPECT_EQ(back.symmetryOperators, s.symmetryOperators);
    writeFile(dir / "plain.inp", SampleFile + "trailing words\n");
    ASSERT_EQ(readNative(dir / "plain.inp", back, message), 0) << message;
    EXPECT_TRUE(back.symmetryOperators.empty());
}

// A mixed site keeps its oxidation state beside its share of it, and the file's formula its
// counts, after the operators where the file has them, so that the engine assigns and sums as
// it would from the file the form was loaded from; a file without these sections leaves every
// valence 0 and no formula, as older files always did.
TEST(NativeFile, OxidationStatesAndFormulaTravelAfterTheSites) {
    TempDir dir;
    for (int variant = 0; variant < 8; ++variant) {
        CrystalStructure s = sampleStructure();
        if (variant & 1) s.symmetryOperators = {"x,y,z", "-x,-y,-z"};
        if (variant & 2) {
            s.sites[0].g = 0.25;
            s.sites[0].charge = 0.75;
            s.sites[0].valence = 3;
            s.sites[1].valence = -2;
        }
        if (variant & 4) {
            s.formula = {{"H", 1.8}, {"Mo", 2}, {"O", 10.9}, {"P", 2}, {"Rb", 1}};
            s.formulaUnits = 4;
        }
        std::string message;
        ASSERT_EQ(test::codeOf(writeStructureFile(s, dir / "mixed.inp"), message), 0) << message;
        CrystalStructure back;
        ASSERT_EQ(readNative(dir / "mixed.inp", back, message), 0) << message;
        EXPECT_EQ(back.symmetryOperators, s.symmetryOperators);
        EXPECT_EQ(back.formula, s.formula);
        EXPECT_EQ(back.formulaUnits, s.formulaUnits);
        ASSERT_EQ(back.siteCount(), 3);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(back.sites[i].charge, s.sites[i].charge) << variant;
            EXPECT_EQ(back.sites[i].valence, s.sites[i].valence) << variant;
        }
    }
    CrystalStructure back;
    std::string message;
    writeFile(dir / "old.inp", SampleFile);
    ASSERT_EQ(readNative(dir / "old.inp", back, message), 0) << message;
    EXPECT_EQ(formalValence(back.sites[0]), 3);
    EXPECT_EQ(back.sites[0].valence, 0);
}

}  // namespace
}  // namespace tarnell
