#include "structure/morvek_listing.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

CrystalStructure readListing(const std::string& text, std::string& message,
                             Program wording = Program::Engine) {
    test::TempDir dir;
    test::writeFile(dir / "in.lst", text);
    CrystalStructure s;
    s.sites.resize(1);  // what an earlier file left must not survive
    test::codeOf(
        readStructure(ReaderMode::MorvekListing, dir / "in.lst", s, ReaderContext{2.75, {}}),
        message, wording);
    return s;
}

std::string site(const std::string& name, const std::string& sigmas = "- - -") {
    return "  " + name + "   4   0.50000   2.0000   0.12340   0.25000   0.98760   0.40\n" +
           "           -     -        -   " + sigmas + "   0.01\n";
}

std::string listing(const std::string& group, const std::string& sites) {
    return " MORVEK listing\n           Phase #1: Calcite: CaCO3, 295 K\n           Space group: " +
           group +
           "\n                 a         b         c      alpha      beta     gamma\n"
           "           4.98960   4.98960  17.06100  90.00000  90.00000 120.00000\n"
           "           0.00012     -       0.00051     -         -         -\n"
           "                        neq  *   g    =   n       x         y         z\n" +
           sites + "\n";
}

TEST(MorvekListing, MarkedSectionsGiveTheRecordAndSitesEndAtTheFirstEmptyLine) {
    std::string message;
    const CrystalStructure s = readListing(
        listing("R -3 c H rhombohedral  (R-3c, 167)",
                site("Ca1", "0.00011  -  0.00031") + site("O1") + "   \n" + site("Mg1")),
        message);
    EXPECT_EQ(s.title, "CaCO3, 295 K");
    EXPECT_EQ(s.cellSigma, (std::array<double, 6>{0.00012, 0, 0.00051, 0, 0, 0}));
    ASSERT_EQ(s.siteCount(), 2) << message;
    const Site& ca = s.sites[0];
    EXPECT_EQ(ca.name, "Ca1");
    EXPECT_EQ((std::array{ca.g, ca.sx, ca.sy, ca.sz, ca.charge, ca.dLimit}),
              (std::array{0.5, 0.00011, 0.0, 0.00031, 0.0, 2.75}));
}

// The symbol is cut to 10 characters; a number without its delimiters is 0.
TEST(MorvekListing, SpaceGroupLineGivesSymbolNumberAndSettingAfterTheHash) {
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"R -3 c H rhombohedral  (R-3c, 167)", "R -3 c H r", 167, 1},
        // "#2" is rhombohedral axes, which the listing's hexagonal cell contradicts: the cell wins.
        {"R -3 c  (R-3c #2, 167)", "R -3 c  (R", 167, 1},
        {"P 4/n m m  (P4/nmm #2, 129)", "P 4/n m m ", 129, 2},
        {"P n m a  (Pnma 62)", "P n m a  (", 0, 1},
        {"P n m a  Pnma, 62", "P n m a  P", 0, 1}};
    for (const auto& [group, symbol, number, setting] : cases) {
        std::string message;
        const CrystalStructure s = readListing(listing(group, site("O1")), message);
        EXPECT_EQ(s.sgName, symbol);
        EXPECT_EQ(s.sgNumber, number) << group;
        EXPECT_EQ(s.sgSetting, setting) << group;
    }
}

TEST(MorvekListing, RefusesWhatItCannotReadWhole) {
    std::string all;
    for (int i = 1; i <= MaxSites; ++i) all += site(formatText("O%d", i));
    std::string message;
    EXPECT_EQ(readListing(listing("P 1  (P1, 1)", all), message).siteCount(), MaxSites);
    readListing(listing("P 1  (P1, 1)", all + site("O100001")), message);
    EXPECT_EQ(message, "  Error !!!  Number of species exceeds over 100000.");

    const std::string text = listing("P 1  (P1, 1)", site("O1"));
    const std::string cellMarker = "                 a         b         c";
    readListing(text.substr(0, text.find(cellMarker)), message, Program::FrontEnd);
    EXPECT_EQ(message, cellMarker + " not found !!!\n");
    readListing(listing("P 1  (P1, 1)", site("O1", "- x -")), message);
    EXPECT_EQ(message, "  Error !!!  \"x\" of species O1 is not a number.\n");
    readListing(text.substr(0, text.rfind("           -")), message);  // no uncertainty line
    EXPECT_TRUE(message.ends_with("in.lst file ends before its last line.\n")) << message;
    // Cut after a whole site: the empty line after the list is missing.
    readListing(text.substr(0, text.size() - 1), message);
    EXPECT_TRUE(message.ends_with("in.lst file ends before its last line.\n")) << message;
}

}  // namespace
}  // namespace tarnell
