#include "valence/valence_sums.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const char* const References =
    ";************************* REFERENCES ****************************\n"
    "   skipped\n"
    " a Brown and Altermatt (1985)\n"
    " b Brese and O'Keeffe (1991)\n";

// Scratch files written by hand: each entry is a central label, d, sigma(d) and its
// parameter list line.
struct Entry {
    const char* central;
    double d;
    double sigma;
    const char* alternatives;
};

struct SumsFixture {
    TempDir dir;
    DistanceListFiles files{dir / "ftemp1.$$$", dir / "ftemp2.$$$"};
    Settings settings;

    SumsFixture() {
        writeFile(dir / "BVTable", References);
        settings.bvB = 0.37;
        settings.entryNum = 2;
    }

    int run(const std::vector<std::string>& labels, const std::vector<Entry>& entries,
            std::string& section, std::string& message) {
        std::string distances;
        std::string parameters;
        int n = 0;
        for (const Entry& e : entries) {
            distances += formatLine(++n, e);
            parameters += std::string(e.alternatives) + "\n";
        }
        writeFile(files.distances, distances);
        writeFile(files.parameters, parameters);
        writeFile(dir / "out.txt", "report so far\n");
        CrystalStructure s;
        for (const std::string& label : labels) s.sites.push_back(Site{label});
        const int status = computeValenceSums(s, static_cast<int>(entries.size()), files,
                                              dir / "BVTable", settings, dir / "out.txt", message);
        section = readFile(dir / "out.txt").substr(14);
        return status;
    }

    static std::string formatLine(int n, const Entry& e) {
        char line[256];
        std::snprintf(line, sizeof line,
                      " %3d  %-4s  0.00000  0.00000  0.00000   O1     1_555  0.50000  0.00000  "
                      "0.00000 % 8.5lf % 8.5lf\n",
                      n, e.central, e.d, e.sigma);
        return line;
    }
};

TEST(ValenceSums, SumsUncertaintiesAndAlternativesOfEverySite) {
    SumsFixture f;
    std::string section;
    std::string message;
    const char* feO = "2   Fe2+ O2-  1.7340 a  Fe3+ O2-  1.7590 a";
    ASSERT_EQ(f.run({"Fe1", "Mg1", "Ti1", "O1"},
                    {
                        // Two bonds of 1.876(2) Å: with r0 1.759, 2·exp(-0.117/0.37) = 1.45780
                        // and sigma = sqrt(2)·0.72890·0.002/0.37 = 0.00557; with r0 1.734,
                        // 2·exp(-0.142/0.37) = 1.36255 and sigma 0.00521.
                        {"Fe1", 1.876, 0.002, feO},
                        {"Fe1", 1.876, 0.002, feO},
                        // d = r0 gives exactly 1, sigma(d) 0 gives sigma 0. r0 = 0 drops
                        // alternative 2; in alternative 3 the first two bonds use their last
                        // ones: 1 + 2·exp(0.085/0.37) = 3.5165.
                        {"Ti1", 1.815, 0.0, "2   Ti4+ O2-  1.8150 a  Ti4+ O2-  1.9000 b"},
                        {"Ti1", 1.815, 0.0, "1   Ti4+ O2-  1.8150 a"},
                        {"Ti1", 1.815, 0.0, "3   Ti4+ O2-  1.8150 a  Ti4+ O2-  0.0000 b  Ti4+ O2-  1.9000 b"},
                    },
                    section, message),
              0)
        << message;
    EXPECT_EQ(section,
              "  Bond valence sum:\n\n"
              "  Fe1 :\n"
              "    1  BVS = 1.3626( 0.0052)  CN = 2   See ref. below;\n"
              "          a (r0=1.7340 for Fe2+ - O2- )\n"
              "          a (r0=1.7340 for Fe2+ - O2- )\n"
              "\n"
              "    2  BVS = 1.4578( 0.0056)  CN = 2   See ref. below;\n"
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

TEST(ValenceSums, TwentyBondsAreSummedAndTwentyOneRefused) {
    SumsFixture f;
    std::string section;
    std::string message;
    std::vector<Entry> entries(20, Entry{"Na1", 2.5, 0.001, "1   Na1+ O2-  1.8030 a"});
    ASSERT_EQ(f.run({"Na1"}, entries, section, message), 0) << message;
    EXPECT_NE(section.find("CN =20"), std::string::npos);

    entries.push_back(entries.back());
    EXPECT_EQ(f.run({"Na1"}, entries, section, message), -1);
    EXPECT_EQ(message, "  Error !!! Number of distance entry exceed over 20.\n");
    EXPECT_EQ(section, "");

    // Without any bond, the section still closes with the reference list.
    ASSERT_EQ(f.run({"Na1"}, {}, section, message), 0);
    EXPECT_EQ(section,
              "  Bond valence sum:\n\n  Reference list:\n   Brown and Altermatt (1985)\n"
              "   Brese and O'Keeffe (1991)\n");
}

TEST(ValenceSums, ParameterBMustBePositive) {
    SumsFixture f;
    f.settings.bvB = 0.0;
    std::string section;
    std::string message;
    EXPECT_EQ(f.run({"Na1"}, {{"Na1", 2.5, 0.001, "1   Na1+ O2-  1.8030 a"}}, section, message),
              -1);
    EXPECT_EQ(message, "  Error !!! BV-B must be positive, not 0.\n");
    EXPECT_EQ(section, "");
}

TEST(ValenceSums, LongKeysAndTwoLetterIdentifiersReadBackWhole) {
    SumsFixture f;
    std::string section;
    std::string message;
    ASSERT_EQ(f.run({"N1"}, {{"N1", 1.5, 0.0, "2   NH41+ O2-  1.5000 bk  NH41+ O2-  1.6000 aa"}},
                    section, message),
              0);
    EXPECT_NE(section.find("          bk (r0=1.5000 for NH41+ - O2- )\n"), std::string::npos);
    EXPECT_NE(section.find("          aa (r0=1.6000 for NH41+ - O2- )\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnell
