#include "geometry/neighbour_search.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

SymmetryOperator op(double sign) {
    SymmetryOperator o;
    for (int i = 0; i < 3; ++i) o.r[i][i] = sign;
    return o;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        result.push_back(text.substr(begin, end - begin));
    }
    return result;
}

// Na at the origin and Cl half an edge away along a, in a cubic cell of 4 Å: the Na–Cl distance
// is exactly 2 Å.
struct SearchFixture {
    TempDir dir;
    DistanceListFiles files{dir / "ftemp1.$$$", dir / "ftemp2.$$$"};
    CrystalStructure structure;
    Settings settings;
    OperatorTable operators{op(1)};

    SearchFixture() {
        writeFile(dir / "BVTable", "Na 1 Cl 1 2.150 b\nNa 1 Cl 1 2.220 e\n");
        structure.cell = {4, 4, 4, 90, 90, 90};
        structure.cellSigma = {0.001, 0, 0, 0, 0, 0};
        structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 1, 2.0},
                           Site{"Cl1", 1, 0.5, 0, 0, 0, 0, 0, -1, 2.0}};
        settings.dMin = 0.5;
        settings.hMin = -1;
        settings.hMax = 1;
    }

    int run(int& count, std::string& message) {
        return searchDistances(structure, operators, settings, dir / "BVTable", files, count,
                               message);
    }
};

TEST(NeighbourSearch, ElementSymbolsAndSymmetryCodes) {
    EXPECT_EQ(elementSymbol("Fe1"), "Fe");
    EXPECT_EQ(elementSymbol("O12"), "O");
    EXPECT_EQ(elementSymbol("Ca"), "Ca");
    EXPECT_EQ(elementSymbol("C"), "C");
    EXPECT_EQ(elementSymbol("CA1"), "C");
    EXPECT_EQ(symmetryCode(1, 0, 0, 0), " 1_555");
    EXPECT_EQ(symmetryCode(12, -1, 0, 1), "12_456");
}

TEST(NeighbourSearch, BothOrdersOfAPairGiveEntriesAtTheWindowEdge) {
    SearchFixture f;
    int count = -1;
    std::string message;
    ASSERT_EQ(f.run(count, message), 0) << message;
    // Cl at +a/2 and -a/2 from Na, Na at ±a/2 from Cl, all exactly at the 2 Å limit; Na–Na
    // and Cl–Cl have no parameters.
    ASSERT_EQ(count, 4);
    EXPECT_EQ(lines(readFile(f.files.distances)),
              (std::vector<std::string>{
                  "   1  Na1   0.00000  0.00000  0.00000   Cl1    1_455 -0.50000  0.00000  "
                  "0.00000  2.00000  0.00050",
                  "   2  Na1   0.00000  0.00000  0.00000   Cl1    1_555  0.50000  0.00000  "
                  "0.00000  2.00000  0.00050",
                  "   3  Cl1   0.50000  0.00000  0.00000   Na1    1_555  0.00000  0.00000  "
                  "0.00000  2.00000  0.00050",
                  "   4  Cl1   0.50000  0.00000  0.00000   Na1    1_655  1.00000  0.00000  "
                  "0.00000  2.00000  0.00050"}));
    const std::vector<std::string> parameters = lines(readFile(f.files.parameters));
    ASSERT_EQ(parameters.size(), 4u);
    for (const std::string& line : parameters) {
        EXPECT_EQ(line, "2   Na1+ Cl1- 2.1500 b  Na1+ Cl1- 2.2200 e");
    }

    // Just inside the lower bound too; an upper bound below 2 Å leaves nothing.
    f.settings.dMin = 2.0;
    ASSERT_EQ(f.run(count, message), 0);
    EXPECT_EQ(count, 4);
    f.structure.sites[0].dLimit = f.structure.sites[1].dLimit = 1.99999;
    ASSERT_EQ(f.run(count, message), 0);
    EXPECT_EQ(count, 0);
}

TEST(NeighbourSearch, ImageReachedTwiceIsListedOnceUnderItsFirstOperator) {
    SearchFixture f;
    f.operators = {op(1), op(-1)};  // Cl at (-0.5, 0, 0) is reached by both operators
    int count = 0;
    std::string message;
    ASSERT_EQ(f.run(count, message), 0) << message;
    EXPECT_EQ(count, 4);
    EXPECT_EQ(readFile(f.files.distances).find(" 2_"), std::string::npos);

    f.settings.hMin = 1;
    f.settings.hMax = 0;
    ASSERT_EQ(f.run(count, message), 0);
    EXPECT_EQ(count, 0);
}

TEST(NeighbourSearch, ImagesApartOnlyByRoundingAreOneNeighbour) {
    SearchFixture f;
    // The six-digit rhombohedral translations leave such differences: 0.666667 + 0.333333.
    SymmetryOperator shifted = op(1);
    shifted.t = {0.666667 + 0.333333 - 1.0, 0, 0};
    f.operators = {op(1), shifted};
    int count = 0;
    std::string message;
    ASSERT_EQ(f.run(count, message), 0) << message;
    EXPECT_EQ(count, 4);
}

TEST(NeighbourSearch, BondsThatSymmetryMakesEqualGetEqualUncertainties) {
    SearchFixture f;
    // Cl with an uncertainty along a only; the operator y,x,z puts its image along b, where it
    // carries the same uncertainty, now along b.
    f.structure.sites[1] = Site{"Cl1", 1, 0.3, 0, 0, 0.001, 0, 0, -1, 2.0};
    f.structure.cellSigma = {};
    SymmetryOperator swap;
    swap.r = {{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}};
    f.operators = {op(1), swap};
    f.settings.hMin = f.settings.hMax = 0;
    int count = 0;
    std::string message;
    ASSERT_EQ(f.run(count, message), 0) << message;
    const std::vector<std::string> entries = lines(readFile(f.files.distances));
    ASSERT_EQ(count, 3);  // Na is its own image under both operators
    // d = 0.3·4 = 1.2 Å; sigma = 0.3·16·0.001 / 1.2 = 0.004 Å for both images.
    EXPECT_EQ(entries[0].substr(entries[0].size() - 18), "  1.20000  0.00400");
    EXPECT_NE(entries[1].find(" 2_555  0.00000  0.30000"), std::string::npos);
    EXPECT_EQ(entries[1].substr(entries[1].size() - 18), "  1.20000  0.00400");
}

TEST(NeighbourSearch, CapacitiesAndLabelsAreGuarded) {
    SearchFixture f;
    int count = 0;
    std::string message;
    f.structure.sites[1].name = "Na1";
    EXPECT_EQ(f.run(count, message), -1);
    EXPECT_EQ(message, "  Error !!!   Species name Na1 is used by two sites.\n");

    // 11³ = 1331 images of one site within 100 Å: every one is a candidate, entry or not.
    f.structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 1, 100.0}};
    f.structure.cell = {1, 1, 1, 90, 90, 90};
    f.settings.dMin = 0.0;
    f.settings.hMin = -5;
    f.settings.hMax = 5;
    EXPECT_EQ(f.run(count, message), -1);
    EXPECT_EQ(message, "  Error !!!   Number of distance entry more than 1200.\n");

    std::filesystem::remove_all(f.dir.path());
    std::filesystem::create_directory(f.dir.path());
    EXPECT_EQ(f.run(count, message), -1);
    EXPECT_EQ(message, "  Error !!!   " + (f.dir / "BVTable").string() + " file not found.\n");
    EXPECT_FALSE(std::filesystem::exists(f.files.distances));
}

TEST(NeighbourSearch, DistanceToItselfCountsOnlyWithASelfPair) {
    SearchFixture f;
    writeFile(f.dir / "BVTable", "Na 1 Na 1 2.000 x\n");
    f.settings.dMin = 0.0;
    f.structure.sites.resize(1);
    int count = 0;
    std::string message;
    ASSERT_EQ(f.run(count, message), 0) << message;
    // Both passes find the Na–Na line: two entries for the site on itself, d = 0, sigma 0.
    const std::vector<std::string> entries = lines(readFile(f.files.distances));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(entries[0].substr(entries[0].size() - 18), "  0.00000  0.00000");
}

}  // namespace
}  // namespace tarnell
