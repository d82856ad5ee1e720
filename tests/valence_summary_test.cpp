#include "valence/valence_summary.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_files.h"
#include "valence/report.h"

namespace tarnell {
namespace {

using test::identity;

ParameterLine line(const char* cation, int cv, const char* anion, int av, double r0,
                   const char* reference, double b = 0.0) {
    return ParameterLine{cation, cv, anion, av, r0, reference, b};
}

// A cubic cell of 10 Å; `contact` puts a neighbour of site `j` around site `i` at distance d,
// each contact at a position of its own unless `x` is given.
struct SummaryFixture {
    CrystalStructure structure;
    OperatorTable operators{identity()};
    std::vector<Bond> contacts;
    ParameterTable table;

    SummaryFixture() { structure.cell = {10, 10, 10, 90, 90, 90}; }

    void contact(int i, int j, double d, double sigma = 0.0, double x = -1.0) {
        const double at = x >= 0 ? x : 0.01 * static_cast<double>(contacts.size() + 1);
        Bond bond;
        bond.centre = i;
        bond.neighbour = j;
        bond.position = {at, 0.3, 0.3};
        bond.d = d;
        bond.sigma = sigma;
        contacts.push_back(bond);
    }
    ValenceSummary run(double bvB = 0.37) {
        for (Site& site : structure.sites) site.element = elementSymbol(site.name);
        return summariseValences(structure, operators, contacts, table, bvB);
    }
    // The summary as the report ends with it.
    std::string text() {
        CalculationResult result;
        result.structure = structure;
        result.summary = run();
        result.bonds = contacts;
        result.stage = CalculationStage::Summarised;
        const std::string report = reportText(result);
        return report.substr(report.find("\n  Valence summary:"));
    }
};

TEST(ValenceSummary, UnspecifiedValenceServesAndMissingParametersLeaveTheSiteOut) {
    SummaryFixture f;
    f.structure.sites = {
        Site{"Ag1", 1, 0, 0, 0, 0, 0, 0, 1}, Site{"Br1", 1, 0.5, 0, 0, 0, 0, 0, -1},
        Site{"Fe1", 1, 0.5, 0.5, 0, 0, 0, 0, 3}, Site{"P1", 1, 0, 0.5, 0, 0, 0, 0, -3}};
    f.table.lines = {line("Ag", 9, "Br", 1, 2.22, "b")};
    f.contact(0, 1, 2.22);
    f.contact(1, 0, 2.22);
    f.contact(2, 3, 2.4);
    const ValenceSummary summary = f.run();
    ASSERT_EQ(summary.sites.size(), 4u);
    EXPECT_NEAR(summary.sites[0].bvs, 1.0, 1e-12);
    EXPECT_EQ(summary.sites[2].missing, "Fe3+ \u2013 P3-");
    // Only Ag and Br, with deviations of 0, enter the index; P has no bond: all of it missing.
    EXPECT_EQ(summary.sites[3].missing, "");
    EXPECT_NEAR(summary.sites[3].deviation, 3.0, 1e-12);
    EXPECT_NEAR(summary.ionsInCell, 3.0, 1e-12);
    EXPECT_NEAR(summary.gii, std::sqrt(9.0 / 3.0), 1e-12);
    // The charge balance counts every ion with a valence.
    EXPECT_NEAR(summary.cationValences, 4.0, 1e-12);
    EXPECT_NEAR(summary.anionValences, -4.0, 1e-12);
    const std::string text = f.text();
    EXPECT_NE(text.find("  Fe1      3.00  no parameters for Fe3+ \u2013 P3-\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  P1      -3.00    0.0000  0.0000   0   3.0000   -100.0  -  **\n"),
              std::string::npos)
        << text;
}

// An index over no ion would read as a perfect structure (pyrite with Fe2+ and S1-: no line);
// one over part of the ions says over how many of how many.
TEST(ValenceSummary, TheGiiSaysOverWhichIonsAndIsAbsentOverNone) {
    SummaryFixture f;
    f.structure.sites = {Site{"Fe1", 1, 0, 0, 0, 0, 0, 0, 2},
                         Site{"S1", 1, 0.4, 0, 0, 0, 0, 0, -1}};
    f.table.lines = {line("Fe", 3, "S", 2, 2.149, "a")};
    f.contact(0, 1, 2.26);
    f.contact(1, 0, 2.26);
    ValenceSummary summary = f.run();
    EXPECT_FALSE(hasIndex(summary));
    std::string text = f.text();
    EXPECT_NE(text.find("\n  No GII: no site has bond valence parameters for all its bonds.\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("GII ="), std::string::npos) << text;

    f.structure.sites.push_back(Site{"Na1", 1, 0.5, 0.5, 0.5, 0, 0, 0, 1});
    f.structure.sites.push_back(Site{"Cl1", 1, 0.5, 0.5, 0, 0, 0, 0, -1});
    f.table.lines.push_back(line("Na", 1, "Cl", 1, 2.15, "a"));
    f.contact(2, 3, 2.15);
    f.contact(3, 2, 2.15);
    summary = f.run();
    EXPECT_TRUE(hasIndex(summary));
    EXPECT_NEAR(summary.ionsInCell, 2.0, 1e-12);
    EXPECT_NEAR(summary.ionsWithValence, 4.0, 1e-12);
    text = f.text();
    EXPECT_NE(text.find("\n  GII = 0.0000 v.u. over 2.00 of 4.00 ions in the cell\n"),
              std::string::npos)
        << text;
}

// The bond block of a site lists each bond with its site code, d, s with sigma and the line
// used, and marks the first shell: four bonds at 1.62 Å and one at 3.0 Å.
TEST(ValenceSummary, TheBondsOfEachSiteShowTheirLineAndTheFirstShell) {
    SummaryFixture f;
    f.structure.sites = {Site{"Si1", 1, 0, 0, 0, 0, 0, 0, 4},
                         Site{"O1", 1, 0.4, 0, 0, 0, 0, 0, -2}};
    f.table.lines = {line("Si", 4, "O", 2, 1.624, "a", 0.37)};
    for (int n = 0; n < 4; ++n) f.contact(0, 1, 1.624, 0.001);
    f.contact(0, 1, 3.0, 0.001);
    const ValenceSummary summary = f.run();
    ASSERT_EQ(summary.sites.size(), 2u);
    EXPECT_EQ(summary.sites[0].coordination, 5);
    EXPECT_EQ(summary.sites[0].firstShell, 4);
    EXPECT_NEAR(summary.sites[0].bonds[0].sigmaS, 0.001 / 0.37, 1e-12);
    const std::string text = f.text();
    EXPECT_NE(
        text.find("\n  Si1    CN =  5 in the window, CN1 =  4 in the first shell\n"
                  "    O1     1_555  1.62400(0.00100)  1.0000(0.0027)  1 r0=1.6240 b=0.370 a\n"),
        std::string::npos)
        << text;
    EXPECT_NE(
        text.find("    O1     1_555  3.00000(0.00100)  0.0243(0.0001)    r0=1.6240 b=0.370 a\n"),
        std::string::npos)
        << text;
}

// A line of unspecified cation valence (9) is the table's general value for the anion valence
// it lists; for another anion valence it is no line at all, not an approximate one.
TEST(ValenceSummary, AnUnspecifiedCationValenceServesOnlyTheAnionValenceItLists) {
    SummaryFixture f;
    f.structure.sites = {Site{"Ag1", 1, 0, 0, 0, 0, 0, 0, 1},
                         Site{"S1", 1, 0.5, 0, 0, 0, 0, 0, -2}};
    f.table.lines = {line("Ag", 9, "S", 1, 2.12, "b")};
    f.contact(0, 1, 2.5);
    f.contact(1, 0, 2.5);
    const ValenceSummary summary = f.run();
    ASSERT_EQ(summary.sites.size(), 2u);
    EXPECT_EQ(summary.sites[0].missing, "Ag1+ \u2013 S2-");
    EXPECT_FALSE(hasIndex(summary));
}

TEST(ValenceSummary, WithoutValencesOfBothSignsItSaysSoInOneLine) {
    SummaryFixture f;
    f.structure.sites = {Site{"Mg1"}, Site{"O1"}};
    f.table.lines = {line("Mg", 2, "O", 2, 1.693, "a")};
    f.contact(0, 1, 2.1);
    EXPECT_EQ(f.text(),
              "\n  Valence summary:\n\n  No site has a formal valence: set the charges to "
              "compare the sums with them.\n");
    // Valences on the cations alone (read from labels such as FeT2+ beside a plain O) leave
    // every bond out: a GII of whole valence units would say nothing about the structure.
    f.structure.sites[0].valence = 2;
    ValenceSummary summary = f.run();
    EXPECT_TRUE(summary.sites.empty());
    EXPECT_EQ(summary.gii, 0.0);
    EXPECT_EQ(f.text(),
              "\n  Valence summary:\n\n  Only the cations have a formal valence: set the "
              "anions' charges too to compare the sums with them.\n");
    f.structure.sites[0].valence = 0;
    f.structure.sites[1].valence = -2;
    EXPECT_EQ(f.text(),
              "\n  Valence summary:\n\n  Only the anions have a formal valence: set the "
              "cations' charges too to compare the sums with them.\n");
    // Anions stated but all at occupancy 0 are vacancies, not a file without charges.
    f.structure.sites[0].valence = 2;
    f.structure.sites[1].g = 0;
    const std::string vacancies = f.text();
    EXPECT_NE(vacancies.find("No anion occupies the cell"), std::string::npos) << vacancies;
    EXPECT_EQ(vacancies.find("Only the cations"), std::string::npos) << vacancies;
}

}  // namespace
}  // namespace tarnell
