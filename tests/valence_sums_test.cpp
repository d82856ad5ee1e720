#include "valence/valence_sums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/test_files.h"
#include "valence/report.h"

namespace tarnell {
namespace {

// A bond of the distance list written by hand: its centre, d, sigma(d) and its parameter
// alternatives ("Fe3+ O2- 1.759 a" each); the neighbour is O1, each time at another position
// unless one is given.
struct Entry {
    const char* central;
    double d;
    double sigma;
    std::vector<BondParameter> alternatives;
    const char* neighbour = "O1";
    double x = -1;  // the neighbour's x; -1 gives each bond a position of its own
};

struct SumsFixture {
    CalculationResult result;
    std::string section;  // the report's section of the sums, up to the valence summary
    std::string message;

    int run(const std::vector<std::string>& labels, const std::vector<Entry>& entries,
            const std::vector<double>& occupancies = {}) {
        CrystalStructure& s = result.structure;
        s = CrystalStructure{};
        s.cell = {10, 10, 10, 90, 90, 90};
        for (std::size_t i = 0; i < labels.size(); ++i) {
            s.sites.push_back(Site{labels[i], i < occupancies.size() ? occupancies[i] : 1.0});
        }
        if (std::none_of(labels.begin(), labels.end(), [](const auto& l) { return l == "O1"; }))
            s.sites.push_back(Site{"O1"});
        const auto index = [&](const char* label) {
            for (std::size_t i = 0; i < s.sites.size(); ++i)
                if (s.sites[i].name == label) return static_cast<int>(i);
            return -1;
        };
        result.bonds.clear();
        for (const Entry& e : entries) {
            Bond bond;
            bond.centre = index(e.central);
            bond.neighbour = index(e.neighbour);
            bond.number = static_cast<int>(result.bonds.size() + 1);
            bond.position = {e.x < 0 ? 0.01 * bond.number : e.x, 0, 0};
            bond.d = e.d;
            bond.sigma = e.sigma;
            bond.alternatives = e.alternatives;
            for (const BondParameter& p : e.alternatives) {
                bond.s.push_back(s.sites[static_cast<std::size_t>(bond.neighbour)].g *
                                 std::exp((p.r0 - e.d) / 0.37));
            }
            result.bonds.push_back(std::move(bond));
        }
        result.references = {"Brown and Altermatt (1985)", "Brese and O'Keeffe (1991)"};
        result.stage = CalculationStage::Summarised;
        section.clear();
        if (test::codeOf(computeSiteSums(s, result.bonds, 0.37, result.sums), message) != 0)
            return -1;
        const std::string report = reportText(result);
        const std::size_t from = report.find("  Bond valence sum:");
        section = report.substr(from, report.find("\n  Valence summary:") - from);
        return 0;
    }
};

BondParameter feO{"Fe3+", "O2-", 1.759, "a"};
BondParameter tiOa{"Ti4+", "O2-", 1.815, "a"};
BondParameter tiOb{"Ti4+", "O2-", 1.9, "b"};

TEST(ValenceSums, SumsUncertaintiesAndAlternativesOfEverySite) {
    SumsFixture f;
    ASSERT_EQ(f.run({"Fe1", "Mg1", "Ti1", "O1"},
                    {
                        // Two bonds of 1.876(2) Å with r0 1.759: 2·exp(-0.117/0.37) = 1.45780 and
                        // sigma = sqrt(2)·0.72890·0.002/0.37 = 0.00557.
                        {"Fe1", 1.876, 0.002, {feO}},
                        {"Fe1", 1.876, 0.002, {feO}},
                        // d = r0 gives exactly 1, sigma(d) 0 gives sigma 0. r0 = 0 drops
                        // alternative 2; in alternative 3 the first two bonds use their last ones:
                        // 1 + 2·exp(0.085/0.37) = 3.5165.
                        {"Ti1", 1.815, 0.0, {tiOa, tiOb}},
                        {"Ti1", 1.815, 0.0, {tiOa}},
                        {"Ti1", 1.815, 0.0, {tiOa, {"Ti4+", "O2-", 0.0, "b"}, tiOb}},
                    }),
              0)
        << f.message;
    EXPECT_EQ(f.section,
              "  Bond valence sum:\n\n"
              "  Fe1 :\n"
              "    1  BVS = 1.4578( 0.0056)  CN = 2   See ref. below;\n"
              "          a (r0=1.7590 for Fe3+ - O2- )\n"
              "          a (r0=1.7590 for Fe3+ - O2- )\n"
              "\n"
              "  Ti1 :\n"
              "    1  BVS = 3.0000( 0.0000)  CN = 3   See ref. below;\n"
              "          a (r0=1.8150 for Ti4+ - O2- )\n"
              "          a (r0=1.8150 for Ti4+ - O2- )\n"
              "          a (r0=1.8150 for Ti4+ - O2- )\n"
              "\n"
              "    3  BVS = 3.5165( 0.0000)  CN = 3   See ref. below;\n"
              "          b (r0=1.9000 for Ti4+ - O2- )\n"
              "          a (r0=1.8150 for Ti4+ - O2- )\n"
              "          b (r0=1.9000 for Ti4+ - O2- )\n"
              "\n"
              "  Reference list:\n"
              "   Brown and Altermatt (1985)\n"
              "   Brese and O'Keeffe (1991)\n");
}

TEST(ValenceSums, SixtyBondsAreSummedAndSixtyOneRefused) {
    SumsFixture f;
    // Keys longer than four characters and two-letter identifiers stand whole.
    std::vector<Entry> entries(
        60, Entry{"Na1", 2.5, 0.001, {{"NH41+", "O2-", 1.5, "bk"}, {"NH41+", "O2-", 1.6, "aa"}}});
    ASSERT_EQ(f.run({"Na1"}, entries), 0) << f.message;
    EXPECT_NE(
        f.section.find("CN =60   See ref. below;\n          bk (r0=1.5000 for NH41+ - O2- )\n"),
        std::string::npos);
    EXPECT_NE(
        f.section.find("CN =60   See ref. below;\n          aa (r0=1.6000 for NH41+ - O2- )\n"),
        std::string::npos);

    entries.push_back(entries.back());
    EXPECT_EQ(f.run({"Na1"}, entries), -1);
    EXPECT_EQ(f.message, "  Error !!! Number of distance entry exceed over 60.\n");
    EXPECT_EQ(f.section, "");

    // Without any bond, the section still closes with the reference list.
    ASSERT_EQ(f.run({"Na1"}, {}), 0);
    EXPECT_EQ(f.section,
              "  Bond valence sum:\n\n  Reference list:\n   Brown and Altermatt (1985)\n"
              "   Brese and O'Keeffe (1991)\n");
}

// The guards grow with what a run asks for: a wider window holds more neighbours of a site, a
// larger structure more entries; at the old sizes they stand where they stood.
TEST(ValenceSums, GuardsScaleWithTheWindowAndTheStructure) {
    for (const auto& [dLimit, bonds] :
         {std::pair{0.0, 60}, {3.0, 60}, {3.5, 60}, {7.0, 480}, {10.0, 1400}, {1e9, 60000000}})
        EXPECT_EQ(maxBondsPerSite(dLimit), bonds) << dLimit;
    for (const auto& [sites, entries] :
         {std::pair<std::size_t, int>{1, 20000}, {80, 20000}, {1000, 250000}, {10000, 2500000}})
        EXPECT_EQ(maxDistanceEntries(sites), entries) << sites;
}

}  // namespace
}  // namespace tarnell
