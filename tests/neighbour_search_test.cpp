#include "geometry/neighbour_search.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::writeFile;

SymmetryOperator op(double sign) {
    SymmetryOperator o;
    for (int i = 0; i < 3; ++i) o.r[i][i] = sign;
    return o;
}

// Na at the origin and Cl half an edge away along a, in a cubic cell of 4 Å: the Na–Cl distance
// is exactly 2 Å.
struct SearchFixture {
    test::TempDir dir;
    DistanceListFiles files{dir / "ftemp1.$$$", dir / "ftemp2.$$$"};
    CrystalStructure structure;
    Settings settings;
    OperatorTable operators{op(1)};
    int count = -1;
    std::string message;

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

    int run() {
        return searchDistances(structure, operators, settings, dir / "BVTable", files, count,
                               message);
    }
};

TEST(NeighbourSearch, ElementSymbolOfALabel) {
    for (const auto& [label, symbol] :
         {std::pair{"Fe1", "Fe"}, {"O12", "O"}, {"Ca", "Ca"}, {"C", "C"}, {"CA1", "C"}})
        EXPECT_EQ(elementSymbol(label), symbol);
}

TEST(NeighbourSearch, BothOrdersOfAPairGiveEntriesAtTheWindowEdge) {
    SearchFixture f;
    ASSERT_EQ(f.run(), 0) << f.message;
    // Cl at +a/2 and -a/2 from Na, Na at ±a/2 from Cl, all exactly at the 2 Å limit; Na–Na
    // and Cl–Cl have no parameters.
    ASSERT_EQ(f.count, 4);
    // The report prints the distance list as it stands; the end-to-end reports check its text.
    EXPECT_NE(readFile(f.files.distances)
                  .find("   4  Cl1   0.50000  0.00000  0.00000   Na1    1_655  1.00000"),
              std::string::npos);
    const std::string alternatives = "2   Na1+ Cl1- 2.1500 b  Na1+ Cl1- 2.2200 e\n";
    EXPECT_EQ(readFile(f.files.parameters),
              alternatives + alternatives + alternatives + alternatives);

    // Just inside the lower bound too; an upper bound below 2 Å, or no cell translation at all,
    // leaves nothing.
    f.settings.dMin = 2.0;
    ASSERT_EQ(f.run(), 0);
    EXPECT_EQ(f.count, 4);
    f.settings.hMin = 1;
    f.settings.hMax = 0;
    ASSERT_EQ(f.run(), 0);
    EXPECT_EQ(f.count, 0);
    f.settings.hMin = -1;
    f.structure.sites[0].dLimit = f.structure.sites[1].dLimit = 1.99999;
    ASSERT_EQ(f.run(), 0);
    EXPECT_EQ(f.count, 0);
}

TEST(NeighbourSearch, ImageReachedTwiceIsListedOnceUnderItsFirstOperator) {
    // Cl at (-0.5, 0, 0) is reached by -x,-y,-z too; the six-digit rhombohedral translations
    // leave images apart only by rounding: 1/3 + 0.666667 - 1 = 3e-7.
    SymmetryOperator shifted = op(1);
    shifted.t = {1.0 / 3 + 0.666667 - 1.0, 0, 0};
    for (const OperatorTable& operators : {OperatorTable{op(1), op(-1)}, {op(1), shifted}}) {
        SearchFixture f;
        f.operators = operators;
        ASSERT_EQ(f.run(), 0) << f.message;
        EXPECT_EQ(f.count, 4);
        EXPECT_EQ(readFile(f.files.distances).find(" 2_"), std::string::npos);
    }
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
    ASSERT_EQ(f.run(), 0) << f.message;
    ASSERT_EQ(f.count, 3);  // Na is its own image under both operators
    // d = 0.3·4 = 1.2 Å; sigma = 0.3·16·0.001 / 1.2 = 0.004 Å for both images.
    const std::string entries = readFile(f.files.distances);
    EXPECT_NE(entries.find(" 1_555  0.30000  0.00000  0.00000  1.20000  0.00400\n"),
              std::string::npos);
    EXPECT_NE(entries.find(" 2_555  0.00000  0.30000  0.00000  1.20000  0.00400\n"),
              std::string::npos);
}

TEST(NeighbourSearch, DistanceToItselfCountsOnlyWithASelfPair) {
    SearchFixture f;
    writeFile(f.dir / "BVTable", "Na 1 Na 1 2.000 x\n");
    f.settings.dMin = 0.0;
    f.structure.sites.resize(1);
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 2);  // both passes find the Na–Na line
}

TEST(NeighbourSearch, CapacitiesAndLabelsAreGuarded) {
    SearchFixture f;
    f.structure.sites[1].name = "Na1";
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   Species name Na1 is used by two sites.\n");

    // 11³ = 1331 images of one site within 100 Å: every one is a candidate, entry or not.
    f.structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 1, 100.0}};
    f.structure.cell = {1, 1, 1, 90, 90, 90};
    f.settings.dMin = 0.0;
    f.settings.hMin = -5;
    f.settings.hMax = 5;
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   Number of distance entry more than 1200.\n");

    std::filesystem::remove_all(f.dir.path());
    std::filesystem::create_directory(f.dir.path());
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   " + (f.dir / "BVTable").string() + " file not found.\n");
    EXPECT_FALSE(std::filesystem::exists(f.files.distances));
}

}  // namespace
}  // namespace tarnell
