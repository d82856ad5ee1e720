#include "structure/native_file.h"

#include <gtest/gtest.h>

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
    Site longName{"Oxygen_with_a_very_long_label_of_more_than_34_characters", 0.5, -0.1, 0.5,
                  0.999999, 0, 0, 0, -2, 3.0};
    s.sites = {fe, o, longName};
    return s;
}

int readNative(const std::filesystem::path& path, CrystalStructure& s, std::string& message,
               const Wording& wording = EngineWording) {
    return readStructure(ReaderMode::NativeFile, path, s, ReaderContext{wording, 3.0, {}},
                         message);
}

TEST(NativeFile, WriterGivesTheExactPositionalLayout) {
    TempDir dir;
    CrystalStructure s = sampleStructure();
    s.sites.resize(2);
    std::string message;
    ASSERT_EQ(writeStructureFile(s, dir / "a.inp", message), 0) << message;
    EXPECT_EQ(readFile(dir / "a.inp"),
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
              "  2\n"
              "# Crystal data: name, g, x, y, z, charge, d-limit\n"
              "  Fe1    1.00000   0.00000   0.00000   0.35526   3.00000   2.80000\n"
              "                   0.00000   0.00000   0.00000\n"
              "  O1     0.75000   0.30592   0.00000   0.25000  -2.00000   3.00000\n"
              "                   0.00040   0.00000   0.00000\n");
}

TEST(NativeFile, RoundTripKeepsEverythingToFiveDecimals) {
    TempDir dir;
    const CrystalStructure original = sampleStructure();
    std::string message;
    ASSERT_EQ(writeStructureFile(original, dir / "a.inp", message), 0) << message;
    // The same file written on Windows reads the same.
    std::string crlf;
    for (char c : readFile(dir / "a.inp")) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    writeFile(dir / "b.inp", crlf);

    for (const auto& [file, wording] : {std::pair{"a.inp", &EngineWording},
                                        {"a.inp", &FrontEndWording}, {"b.inp", &EngineWording}}) {
        CrystalStructure back;
        ASSERT_EQ(readNative(dir / file, back, message, *wording), 0) << message;
        EXPECT_EQ(back.title, original.title);  // blanks at both ends kept
        EXPECT_EQ(back.sgName, original.sgName);
        EXPECT_EQ(back.sgNumber, 167);
        EXPECT_EQ(back.sgSetting, 1);
        EXPECT_EQ(back.uniqueAxis, "");
        EXPECT_DOUBLE_EQ(back.cell[0], 5.03561);
        EXPECT_DOUBLE_EQ(back.cell[5], 120.0);
        EXPECT_DOUBLE_EQ(back.cellSigma[2], 0.0007);
        ASSERT_EQ(back.siteCount(), 3);
        EXPECT_EQ(back.sites[0].name, "Fe1");
        EXPECT_DOUBLE_EQ(back.sites[0].z, 0.35526);
        EXPECT_DOUBLE_EQ(back.sites[0].sz, 0.0);  // 0.000004 is written as 0.00000
        EXPECT_DOUBLE_EQ(back.sites[0].charge, 3.0);
        EXPECT_DOUBLE_EQ(back.sites[0].dLimit, 2.8);
        EXPECT_DOUBLE_EQ(back.sites[1].g, 0.75);
        EXPECT_DOUBLE_EQ(back.sites[1].sx, 0.0004);
        EXPECT_DOUBLE_EQ(back.sites[1].charge, -2.0);
        // A long label comes back whole, and the numbers after it are still found.
        EXPECT_EQ(back.sites[2].name, original.sites[2].name);
        EXPECT_DOUBLE_EQ(back.sites[2].x, -0.1);
        EXPECT_DOUBLE_EQ(back.sites[2].z, 1.0);
        EXPECT_DOUBLE_EQ(back.sites[2].g, 0.5);
    }
}

TEST(NativeFile, MissingFileIsWordedForEachProgram) {
    TempDir dir;
    CrystalStructure s;
    s.uniqueAxis = "b";
    std::string message;
    EXPECT_EQ(readNative(dir / "none.inp", s, message), -1);
    EXPECT_EQ(message, "  Error !!!  " + (dir / "none.inp").string() + " file not found.\n");
    EXPECT_EQ(s.uniqueAxis, "");
    EXPECT_EQ(readNative(dir / "none.inp", s, message, FrontEndWording), -1);
    EXPECT_EQ(message, "  " + (dir / "none.inp").string() + " file not found !!!\n");
}

TEST(NativeFile, FileEndingBeforeItsLastSiteIsRefused) {
    TempDir dir;
    std::string message;
    ASSERT_EQ(writeStructureFile(sampleStructure(), dir / "a.inp", message), 0);
    const std::string whole = readFile(dir / "a.inp");
    // Cut after the first line of the last site, and after the site count.
    const std::size_t lastSite = whole.rfind("  Oxygen_with");
    const std::size_t cuts[] = {whole.find('\n', lastSite) + 1, whole.find("# Crystal data"), 0};
    for (std::size_t cut : cuts) {
        writeFile(dir / "cut.inp", whole.substr(0, cut));
        CrystalStructure s;
        EXPECT_EQ(readNative(dir / "cut.inp", s, message), -1) << "cut at " << cut;
        EXPECT_EQ(message, "  Error !!!  " + (dir / "cut.inp").string() +
                               " file ends before its last line.\n");
        EXPECT_EQ(s.siteCount(), 0);
        EXPECT_EQ(readNative(dir / "cut.inp", s, message, FrontEndWording), -1);
        EXPECT_EQ(message,
                  "  " + (dir / "cut.inp").string() + " file ends before its last line !!!\n");
    }
}

TEST(NativeFile, EightySitesAreReadAndEightyOneRefused) {
    TempDir dir;
    CrystalStructure s = sampleStructure();
    s.sites.assign(80, s.sites[1]);
    std::string message;
    ASSERT_EQ(writeStructureFile(s, dir / "80.inp", message), 0);
    CrystalStructure back;
    ASSERT_EQ(readNative(dir / "80.inp", back, message), 0) << message;
    EXPECT_EQ(back.siteCount(), 80);

    // The writer will not make such a file; a hand-edited count can.
    std::string text = readFile(dir / "80.inp");
    text.replace(text.find("\n 80\n"), 5, "\n 81\n");
    text += "  O81    1.00000   0.10000   0.20000   0.30000  -2.00000   3.00000\n"
            "                   0.00000   0.00000   0.00000\n";
    writeFile(dir / "81.inp", text);
    EXPECT_EQ(readNative(dir / "81.inp", back, message), -1);
    EXPECT_EQ(message, "  Error !!!  Number of species exceeds over 80.");
    EXPECT_EQ(readNative(dir / "81.inp", back, message, FrontEndWording), -1);
    EXPECT_EQ(message, "  Number of species exceeds over 80 !!!");

    s.sites.push_back(s.sites[0]);
    EXPECT_EQ(writeStructureFile(s, dir / "w81.inp", message), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "w81.inp"));
}

TEST(NativeFile, NumberThatDoesNotScanLeavesItsFieldAndTheReadSucceeds) {
    TempDir dir;
    writeFile(dir / "a.inp",
              "#\nT\n#\nP 1\n#\n  1   1\n#\n  5.0 abc 7.0 90 90 90\n  0 0 0 0 0 0\n#\n  1\n#\n"
              "  Na1  1.0  0.1  zz  0.3  1.0  3.0\n                  0 0 0\n");
    CrystalStructure s;
    std::string message;
    ASSERT_EQ(readNative(dir / "a.inp", s, message), 0) << message;
    EXPECT_DOUBLE_EQ(s.cell[0], 5.0);
    EXPECT_DOUBLE_EQ(s.cell[1], 0.0);  // scanning stops at the first bad value
    EXPECT_DOUBLE_EQ(s.cell[2], 0.0);
    ASSERT_EQ(s.siteCount(), 1);
    EXPECT_DOUBLE_EQ(s.sites[0].x, 0.1);
    EXPECT_DOUBLE_EQ(s.sites[0].y, 0.0);
}

TEST(NativeFile, WriterRefusesWhatTheReaderCouldNotGiveBack) {
    TempDir dir;
    std::string message;
    CrystalStructure s = sampleStructure();
    s.sites[1].name = "O 1";  // would be read back as "O" with every number shifted
    EXPECT_EQ(writeStructureFile(s, dir / "a.inp", message), -1);
    EXPECT_NE(message.find("O 1"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.inp"));

    s = sampleStructure();
    s.title = "two\nlines";
    EXPECT_EQ(writeStructureFile(s, dir / "a.inp", message), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.inp"));

    s = sampleStructure();
    EXPECT_EQ(writeStructureFile(s, dir / "no-such-dir" / "a.inp", message), -1);
    EXPECT_FALSE(message.empty());
}

}  // namespace
}  // namespace tarnell
