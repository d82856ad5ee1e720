#include "valence/valence_sums.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_file.h"
#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::writeFile;

// A distance entry of the scratch files written by hand: its central label, d, sigma(d) and its
// parameter list line; the neighbour is O1, each time at another position unless named.
struct Entry {
    const char* central;
    double d;
    double sigma;
    const char* alternatives;
    const char* neighbour = "O1";
    double x = -1;  // the neighbour's x; -1 gives each entry a position of its own
};

struct SumsFixture {
    test::TempDir dir;
    DistanceListFiles files{dir / "ftemp1.$$$", dir / "ftemp2.$$$"};
    Settings settings;
    std::string section;  // what the sums appended to the report
    std::string message;

    SumsFixture() {
        writeFile(dir / "BVTable",
                  ";************************* REFERENCES ****************************\n"
                  "   skipped\n"
                  " a Brown and Altermatt (1985)\n"
                  " b Brese and O'Keeffe (1991)\n");
        settings.bvB = 0.37;
        settings.entryNum = 2;
    }

    int run(const std::vector<std::string>& labels, const std::vector<Entry>& entries,
            const std::vector<double>& occupancies = {}) {
        std::string distances, parameters;
        int n = 0;
        for (const Entry& e : entries) {
            ++n;
            distances += formatText(
                " %3d  %-4s  0.00000  0.00000  0.00000   %-4s  1_555 % 8.5lf "
                " 0.00000  0.00000 % 8.5lf % 8.5lf\n",
                n, e.central, e.neighbour, e.x < 0 ? 0.01 * n : e.x, e.d, e.sigma);
            parameters += std::string(e.alternatives) + "\n";
        }
        writeFile(files.distances, distances);
        writeFile(files.parameters, parameters);
        CrystalStructure s;
        s.cell = {10, 10, 10, 90, 90, 90};
        for (std::size_t i = 0; i < labels.size(); ++i) {
            s.sites.push_back(Site{labels[i], i < occupancies.size() ? occupancies[i] : 1.0});
        }
        if (std::none_of(labels.begin(), labels.end(), [](const auto& l) { return l == "O1"; }))
            s.sites.push_back(Site{"O1"});
        // As a run does: both lists read back, then the sums.
        std::vector<std::string> references;
        std::vector<DistanceEntry> read;
        std::vector<SiteSums> sums;
        section.clear();
        if (test::codeOf(readReferenceList(dir / "BVTable", settings.entryNum, references),
                         message) != 0 ||
            test::codeOf(readDistanceList(files, n, read), message) != 0 ||
            test::codeOf(computeSiteSums(s, read, settings.bvB, sums), message) != 0)
            return -1;
        section = valenceSumsText(s, sums, references);
        return 0;
    }
};

TEST(ValenceSums, SumsUncertaintiesAndAlternativesOfEverySite) {
    SumsFixture f;
    const char* feO = "1   Fe3+ O2-  1.7590 a";
    ASSERT_EQ(f.run({"Fe1", "Mg1", "Ti1", "O1"},
                    {
                        // Two bonds of 1.876(2) Å with r0 1.759: 2·exp(-0.117/0.37) = 1.45780 and
                        // sigma = sqrt(2)·0.72890·0.002/0.37 = 0.00557.
                        {"Fe1", 1.876, 0.002, feO},
                        {"Fe1", 1.876, 0.002, feO},
                        // d = r0 gives exactly 1, sigma(d) 0 gives sigma 0. r0 = 0 drops
                        // alternative 2; in alternative 3 the first two bonds use their last ones:
                        // 1 + 2·exp(0.085/0.37) = 3.5165.
                        {"Ti1", 1.815, 0.0, "2   Ti4+ O2-  1.8150 a  Ti4+ O2-  1.9000 b"},
                        {"Ti1", 1.815, 0.0, "1   Ti4+ O2-  1.8150 a"},
                        {"Ti1", 1.815, 0.0,
                         "3   Ti4+ O2-  1.8150 a  Ti4+ O2-  0.0000 b  Ti4+ O2-  1.9000 b"},
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

TEST(ValenceSums, OccupanciesWeighTheBondsAndSharedPositionsCountOnce) {
    SumsFixture f;
    const char* mgO = "1   Mg2+ O2-  1.6930 a";
    const char* feO = "1   Fe2+ O2-  1.7340 a";
    // O1 with Mg1 (g 0.6) and Fe1 (g 0.4) sharing each of two positions, both at r0: the bonds
    // give 2·(0.6 + 0.4) = 2 v.u. from two positions. sigma = sqrt(2·(0.6² + 0.4²))·0.01/0.37.
    ASSERT_EQ(f.run({"Mg1", "Fe1", "O1"},
                    {
                        {"O1", 1.693, 0.01, mgO, "Mg1", 0.1},
                        {"O1", 1.734, 0.01, feO, "Fe1", 0.1},
                        {"O1", 1.693, 0.01, mgO, "Mg1", 0.3},
                        // A rounded copy of the position, 0.01 Å from it, is the same position.
                        {"O1", 1.734, 0.01, feO, "Fe1", 0.301},
                    },
                    {0.6, 0.4, 1.0}),
              0)
        << f.message;
    EXPECT_NE(f.section.find("  O1  :\n    1  BVS = 2.0000( 0.0276)  CN = 2   See ref. below;\n"),
              std::string::npos)
        << f.section;
}

TEST(ValenceSums, SixtyBondsAreSummedAndSixtyOneRefused) {
    SumsFixture f;
    // Keys longer than four characters and two-letter identifiers read back whole.
    std::vector<Entry> entries(
        60, Entry{"Na1", 2.5, 0.001, "2   NH41+ O2-  1.5000 bk  NH41+ O2-  1.6000 aa"});
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

}  // namespace
}  // namespace tarnell
