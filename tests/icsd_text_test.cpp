#include "structure/icsd_text.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "structure/native_file.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Source = TARNELL_SOURCE_DIR;

struct Read {
    int status = 0;
    CrystalStructure structure;
    std::string message;
};

Read readText(const std::string& text, Program wording = Program::Engine) {
    test::TempDir dir;
    test::writeFile(dir / "in.txt", text);
    Read r;
    const ReaderContext context{2.5, Source / "data" / "sgtrans.dat"};
    r.status =
        test::codeOf(readStructure(ReaderMode::IcsdText, dir / "in.txt", r.structure, context),
                     r.message, wording);
    return r;
}

// An older-layout export; atom lines are "El No OxStat Wyck x y z [SOF]".
std::string older(const std::string& cell, const std::string& group, const std::string& atoms,
                  const std::string& end = " WYCK e2\n RVAL 0.03\n") {
    return "*data\n COL  ICSD 1\n FORM Ca (C O3)\n CELL " + cell + "\n SGR  " + group +
           "\n PARM Atom__No OxStat Wyck -----X----- -----Y----- -----Z----- -SOF-\n" + atoms + end;
}

const std::string Atoms = "  Ca 1 2.000 4e 0.1234(5) 1/4 -1/3 0.5(1)\n  O 2 -2.000 4e 0.5 0 0\n";
const char* const Cubic = "a=5 b=5 c=5 α=90 β=90 γ=90";

TEST(UncertainNumber, TokenGivesValueAndUncertaintyOrNothing) {
    const std::tuple<const char*, double, double> cases[] = {{"5.4321(12)", 5.4321, 0.0012},
                                                             {"90.", 90, 0},
                                                             {"12(3)", 12, 3},
                                                             {"1/3", 1.0 / 3, 0},
                                                             {"-1/4", -0.25, 0},
                                                             {"+2", 2, 0},
                                                             // In the mantissa's last digit.
                                                             {"5.6402e0(9)", 5.6402, 0.0009},
                                                             {"56.402e-1(9)", 5.6402, 0.0009},
                                                             {"0.56402E+1(9)", 5.6402, 0.0009},
                                                             {"1.5e2(3)", 150, 30}};
    for (const auto& [token, value, sigma] : cases) {
        const auto number = readUncertainNumber(token, true);
        ASSERT_TRUE(number) << token;
        EXPECT_DOUBLE_EQ(number->value, value) << token;
        EXPECT_NEAR(number->sigma, sigma, sigma * 1e-12) << token;
    }
    for (const char* bad : {"1/0", "1/x", "/3", "0.25abc", "0.1(", "0.1()", "nan", "", "1.0e(3)"})
        EXPECT_FALSE(readUncertainNumber(bad, true)) << bad;
    EXPECT_FALSE(readUncertainNumber("1/4")) << "fractions are for coordinates only";
    // Gave every distance of the site a sigma(d) of nan.
    EXPECT_FALSE(readUncertainNumber("0.99150(" + std::string(400, '9') + ")", true));
}

TEST(IcsdText, OlderLayoutComesFirstAndGivesEveryField) {
    // A blank line in the list: no atom made up or repeated.
    const Read r = readText(older("a=5.4321(12) b=6 c=7 α=90. β=103.2(1) γ=90.",
                                  "P 1 21/n 1 (14) - monoclinic", "\n" + Atoms));
    ASSERT_EQ(r.status, 0) << r.message;
    const CrystalStructure& s = r.structure;
    EXPECT_EQ(s.title, "Ca (C O3)");
    // A "BA" column is barium, not boron.
    EXPECT_EQ(readText(older(Cubic, "P 1 (1)", "  BA 1 2 1a 0 0 0\n")).structure.sites.at(0).name,
              "Ba1");
    EXPECT_EQ(std::tie(s.uniqueAxis, s.sgSetting), std::tuple("b", 2));  // choice 2 on axis b
    ASSERT_EQ(s.siteCount(), 2);
    const Site& ca = s.sites[0];
    EXPECT_EQ(ca.name, "Ca1");
    EXPECT_DOUBLE_EQ(ca.z, -1.0 / 3);
    // Half an occupied Ca2+, and a site without an occupancy, which is full.
    EXPECT_EQ((std::array{ca.g, ca.charge, ca.dLimit, s.sites[1].g, s.sites[1].charge}),
              (std::array{0.5, 1.0, 2.5, 1.0, -2.0}));
}

// The setting comes from the letters after the symbol, and for a monoclinic group from the unique
// axis: the refined angle, else the angle that is not 90°.
TEST(IcsdText, CellAndSpaceGroupLinesGiveNumberAndSetting) {
    const std::tuple<const char*, const char*, const char*, int, int> cases[] = {
        {Cubic, "F d -3 m Z (227) - cubic", "F d -3 m Z", 227, 2},
        {Cubic, "R -3 c R (167)", "R -3 c R", 167, 2},
        {Cubic, "R -3 c R H (167)", "R -3 c R H", 167, 1},
        {"a=5 b=6 c=7 \xe1=90. \xe2=103.2 \xe3=90.", "P 1 21/n 1 (14)", "P 1 21/n 1", 14, 2},
        {"a=5 b=6 c=7 α=90. β=90. γ=103.2", "P 1 1 21/n (14)", "P 1 1 21/n", 14, 5},
        {"a=5 b=6 c=7 α=90.(1) β=103.2 γ=90.", "P 21/n 1 1 (14)", "P 21/n 1 1", 14, 8},
        {"5 6 7 α=90. β=90. γ=90.", "P 1 21/n 1 (14)", "P 1 21/n 1", 14, 2},
        {"a=5 b=7.0 c=6.5 α=90. β=103.4(1) γ=90.", "P 21/n (14)", "P 21/n", 14, 2},
        {"a=5 b=5 c=14 α=90. β=90. γ=120.", "R -3 R (148) - trigonal", "R -3 R", 148, 2},
        {Cubic, "P -1 (2)", "P -1", 2, 1},
        {Cubic, "F d -3 m S (227)", "F d -3 m S", 227, 1},
        {Cubic, "Fm-3m (225)", "Fm-3m", 225, 1}};
    for (const auto& [cell, group, name, number, setting] : cases) {
        const Read r = readText(older(cell, group, Atoms));
        ASSERT_EQ(r.status, 0) << group << r.message;
        EXPECT_EQ(r.structure.sgName, name);
        EXPECT_EQ(r.structure.sgNumber, number) << group;
        EXPECT_EQ(r.structure.sgSetting, setting) << cell << " " << group;
        EXPECT_DOUBLE_EQ(r.structure.cell[0], 5.0) << cell;  // with or without "a="
    }
}

TEST(IcsdText, RefusesWhatItCannotReadWhole) {
    std::string all;
    for (int i = 1; i <= MaxSites; ++i) all += formatText("  O %d -2 4e 0.1 0.2 0.3\n", i);
    EXPECT_EQ(readText(older(Cubic, "P 1 (1)", all)).structure.siteCount(), MaxSites);
    EXPECT_EQ(readText(older(Cubic, "P 1 (1)", all + "  O 100001 -2 4e 0 0 0\n")).message,
              "  Error !!!  Number of species exceeds over 100000.");

    EXPECT_EQ(readText("Coll Code 1\n").message, "  Not ICSD file format !!!\n");
    EXPECT_EQ(readText(" COL  1\n FORM X\n").message, "  Error !!!    CELL not found.\n");
    EXPECT_EQ(readText(older(Cubic, "P 1 (1)", "  Ca 1 2 1a 1/0 0 0\n")).message,
              "  Error !!!  \"1/0\" of species Ca1 is not a number.\n");
    EXPECT_EQ(readText(older("a=5.4.3 b=5 c=5", "P 1 (1)", Atoms), Program::FrontEnd).message,
              "  \"a=5.4.3\" of the unit cell is not a number !!!\n");
    // The qualifier and number stand wherever the export puts them; symbol and number must agree.
    const std::pair<std::string, std::string> refusals[] = {
        {"P 21/c (15)", "Space group symbol P 21/c and number 15 contradict each other"},
        {"P 21/q (14)", "Space group P 21/q (14) is not known"}};
    for (const auto& [group, text] : refusals) {
        EXPECT_EQ(readText(older(Cubic, group, Atoms)).message, "  Error !!!  " + text + ".\n");
        EXPECT_EQ(readText(older(Cubic, group, Atoms), Program::FrontEnd).message,
                  "  " + text + " !!!\n");
    }
}

// Exports and listings written on Windows: CR LF line ends give the record of the file as it
// stands, whose sums the end-to-end tests find equal to those of the native file.
TEST(IcsdText, WindowsLineEndsGiveTheSameRecord) {
    test::TempDir dir;
    const ReaderContext context{3.0, Source / "data" / "sgtrans.dat"};
    const auto record = [&](ReaderMode mode, const std::filesystem::path& path) {
        CrystalStructure s;
        std::string message;
        EXPECT_EQ(test::codeOf(readStructure(mode, path, s, context), message), 0)
            << path << message;
        EXPECT_EQ(test::codeOf(writeStructureFile(s, dir / "out.inp"), message), 0) << message;
        return test::readFile(dir / "out.inp");
    };
    for (const char* name :
         {"forsterite_pbnm_older.txt", "forsterite_pbnm_structured.txt", "forsterite.lst",
          "monazite_older.txt", "monazite_structured.txt", "monazite.lst"}) {
        const std::filesystem::path example = Source / "examples" / name;
        const ReaderMode mode =
            example.extension() == ".lst" ? ReaderMode::MorvekListing : ReaderMode::IcsdText;
        std::string crlf;
        for (char c : test::readFile(example))
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        test::writeFile(dir / "crlf", crlf);
        EXPECT_EQ(record(mode, dir / "crlf"), record(mode, example)) << name;
    }
}

}  // namespace
}  // namespace tarnell
