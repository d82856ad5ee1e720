#include "search/neighbour_search.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_files.h"
#include "valence/bond_search.h"

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
        return test::codeOf(
            searchDistances(structure, operators, settings, dir / "BVTable", files, count),
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

TEST(NeighbourSearch, ANeighbourIsEnteredOnceEvenWithLinesInBothOrders) {
    SearchFixture f;
    writeFile(f.dir / "BVTable", "Na 1 Cl 1 2.150 b\nCl 7 Na 1 2.000 x\n");
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 4);  // two Cl around Na, two Na around Cl
    // Na is the positive ion, so both sites use the Na-first line.
    const std::string naFirst = "1   Na1+ Cl1- 2.1500 b\n";
    EXPECT_EQ(readFile(f.files.parameters), naFirst + naFirst + naFirst + naFirst);
}

TEST(NeighbourSearch, RoundedSpecialPositionsAreOneAtom) {
    // A hexagonal cell and a threefold axis through the origin: Cl written at (0.3333, 0.6667)
    // has three images a few 1e-4 Å apart, one atom; with Na at the origin it has three
    // neighbours at a/sqrt(3), not nine.
    SearchFixture f;
    f.structure.cell = {3, 3, 5, 90, 90, 120};
    f.structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 1, 2.0},
                         Site{"Cl1", 1, 0.3333, 0.6667, 0, 0, 0, 0, -1, 2.0}};
    SymmetryOperator three;
    three.r = {{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}};
    SymmetryOperator threeSquared;
    threeSquared.r = {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}};
    f.operators = {op(1), three, threeSquared};
    ASSERT_EQ(f.run(), 0) << f.message;
    const std::string entries = readFile(f.files.distances);
    int aroundNa = 0;
    const std::string naToCl = "  Na1   0.00000  0.00000  0.00000   Cl1 ";
    for (std::size_t at = entries.find(naToCl); at != std::string::npos;
         at = entries.find(naToCl, at + 1))
        ++aroundNa;
    EXPECT_EQ(aroundNa, 3);
}

TEST(NeighbourSearch, ImagesFarFromTheirCentreAreBroughtNextToIt) {
    // Cl written two and a half cells along a: with translations of only -1..1 around its raw
    // position it would never come near Na; its codes name the whole translation applied.
    SearchFixture f;
    f.structure.sites[1].x = 2.5;
    ASSERT_EQ(f.run(), 0) << f.message;
    const std::string entries = readFile(f.files.distances);
    EXPECT_NE(entries.find("   Cl1    1_355  0.50000  0.00000  0.00000  2.00000"),
              std::string::npos);
    EXPECT_NE(entries.find("   Cl1    1_255 -0.50000  0.00000  0.00000  2.00000"),
              std::string::npos);
    EXPECT_EQ(f.count, 4);
}

TEST(NeighbourSearch, SitesSharingAPositionAreAllCentresAndNeighbours) {
    // Mg and Fe sharing the origin: each has its own two Cl, and Cl has both as neighbours.
    SearchFixture f;
    writeFile(f.dir / "BVTable", "Mg 2 Cl 1 2.080 b\nFe 2 Cl 1 2.060 b\n");
    f.structure.sites = {Site{"Mg1", 0.6, 0, 0, 0, 0, 0, 0, 2, 2.0},
                         Site{"Fe1", 0.4, 0, 0, 0, 0, 0, 0, 2, 2.0},
                         Site{"Cl1", 1, 0.5, 0, 0, 0, 0, 0, -1, 2.0}};
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 8);
    const std::string entries = readFile(f.files.distances);
    for (const char* pair :
         {"  Mg1   0.00000  0.00000  0.00000   Cl1 ", "  Fe1   0.00000  0.00000  0.00000   Cl1 ",
          "  Cl1   0.50000  0.00000  0.00000   Mg1 ", "  Cl1   0.50000  0.00000  0.00000   Fe1 "})
        EXPECT_NE(entries.find(pair), std::string::npos) << pair;
}

TEST(NeighbourSearch, SymmetryCodesStayReadableBeyondOneDigit) {
    for (const auto& [image, code] : {std::pair{NeighbourImage{0, {0, 0, 0}}, " 1_555"},
                                      {NeighbourImage{11, {-1, 0, 1}}, "12_456"},
                                      {NeighbourImage{0, {-4, 4, 0}}, " 1_195"},
                                      {NeighbourImage{0, {0, 5, 0}}, "1_5_10_5"},
                                      {NeighbourImage{2, {-5, 0, 0}}, "3_0_5_5"}})
        EXPECT_EQ(symmetryCode(image), code);
}

TEST(NeighbourSearch, CapacitiesAndLabelsAreGuarded) {
    SearchFixture f;
    f.structure.sites[1].name = "Na1";
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   Species name Na1 is used by two sites.\n");

    // 11³ = 1331 images of one site within 100 Å, every one a bond to itself while it has no
    // charge: only kept entries count against the capacity.
    writeFile(f.dir / "BVTable", "Na 1 Na 1 2.000 x\n");
    f.structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 0, 100.0}};
    f.structure.cell = {1, 1, 1, 90, 90, 90};
    f.settings.dMin = 0.5;
    f.settings.hMin = -5;
    f.settings.hMax = 5;
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 11 * 11 * 11 - 1);
    f.settings.hMin = -14;
    f.settings.hMax = 14;
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   Number of distance entry more than 20000.\n");

    std::filesystem::remove_all(f.dir.path());
    std::filesystem::create_directory(f.dir.path());
    EXPECT_EQ(f.run(), -1);
    EXPECT_EQ(f.message, "  Error !!!   " + (f.dir / "BVTable").string() + " file not found.\n");
    EXPECT_FALSE(std::filesystem::exists(f.files.distances));
}

}  // namespace
}  // namespace tarnell
