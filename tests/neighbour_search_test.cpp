#include "search/neighbour_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "valence/bond_search.h"

namespace tarnell {
namespace {

SymmetryOperator op(double sign) {
    SymmetryOperator o;
    for (int i = 0; i < 3; ++i) o.r[i][i] = sign;
    return o;
}

// Na at the origin and Cl half an edge away along a, in a cubic cell of 4 Å: the Na–Cl distance
// is exactly 2 Å.
struct SearchFixture {
    std::string table = "Na 1 Cl 1 2.150 b\nNa 1 Cl 1 2.220 e\n";
    CrystalStructure structure;
    Settings settings;
    OperatorTable operators{op(1)};
    std::vector<Bond> bonds;  // the bonds of the distance list
    int count = -1;
    std::string message;

    SearchFixture() {
        structure.cell = {4, 4, 4, 90, 90, 90};
        structure.cellSigma = {0.001, 0, 0, 0, 0, 0};
        structure.sites = {Site{"Na1", 1, 0, 0, 0, 0, 0, 0, 1, 2.0},
                           Site{"Cl1", 1, 0.5, 0, 0, 0, 0, 0, -1, 2.0}};
        settings.dMin = 0.5;
        settings.hMin = -1;
        settings.hMax = 1;
        settings.bvB = 0.37;
    }

    int run() {
        for (Site& site : structure.sites) site.element = elementSymbol(site.name);
        std::istringstream in(table);
        ParameterTable lines;
        EXPECT_TRUE(loadParameterTable(in, "BVTable", lines).ok());
        std::vector<Bond> found;
        const Status status = findBonds(structure, operators, settings, lines, found);
        message = status.text(Program::Engine);
        bonds.clear();
        for (Bond& bond : found)
            if (bond.number != 0) bonds.push_back(std::move(bond));
        count = static_cast<int>(bonds.size());
        return status.code();
    }

    // The bonds from the site labelled `centre` to the one labelled `neighbour`.
    int between(const std::string& centre, const std::string& neighbour) const {
        int n = 0;
        for (const Bond& bond : bonds) {
            n += structure.sites[static_cast<std::size_t>(bond.centre)].name == centre &&
                 structure.sites[static_cast<std::size_t>(bond.neighbour)].name == neighbour;
        }
        return n;
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
    const Bond& last = f.bonds[3];
    EXPECT_EQ(last.number, 4);
    EXPECT_EQ(last.centre, 1);
    EXPECT_EQ(last.neighbour, 0);
    EXPECT_EQ(symmetryCode(last.image), " 1_655");
    EXPECT_EQ(last.position, (std::array<double, 3>{1, 0, 0}));
    EXPECT_DOUBLE_EQ(last.d, 2.0);
    for (const Bond& bond : f.bonds) {
        ASSERT_EQ(bond.alternatives.size(), 2u);
        EXPECT_EQ(bond.alternatives[0].cationKey, "Na1+");
        EXPECT_EQ(bond.alternatives[1].reference, "e");
        EXPECT_DOUBLE_EQ(bond.s[1], std::exp((2.22 - 2.0) / 0.37));
    }

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
        for (const Bond& bond : f.bonds) EXPECT_EQ(bond.image.operatorIndex, 0);
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
    ASSERT_EQ(f.between("Na1", "Cl1"), 2);
    for (const Bond& bond : f.bonds) {
        if (bond.centre != 0) continue;
        EXPECT_NEAR(bond.d, 1.2, 1e-12);
        EXPECT_NEAR(bond.sigma, 0.004, 1e-12);
    }
    EXPECT_EQ(f.bonds[1].position, (std::array<double, 3>{0, 0.3, 0}));
}

TEST(NeighbourSearch, ANeighbourIsEnteredOnceEvenWithLinesInBothOrders) {
    SearchFixture f;
    f.table = "Na 1 Cl 1 2.150 b\nCl 7 Na 1 2.000 x\n";
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 4);  // two Cl around Na, two Na around Cl
    // Na is the positive ion, so both sites use the Na-first line.
    for (const Bond& bond : f.bonds) {
        ASSERT_EQ(bond.alternatives.size(), 1u);
        EXPECT_EQ(bond.alternatives[0].reference, "b");
    }
    // Without charges the centre's element comes first: Cl takes the Cl-first line.
    f.structure.sites[0].charge = f.structure.sites[1].charge = 0;
    ASSERT_EQ(f.run(), 0) << f.message;
    for (const Bond& bond : f.bonds)
        EXPECT_EQ(bond.alternatives.at(0).reference, bond.centre == 0 ? "b" : "x");
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
    EXPECT_EQ(f.between("Na1", "Cl1"), 3);
}

TEST(NeighbourSearch, ImagesFarFromTheirCentreAreBroughtNextToIt) {
    // Cl written two and a half cells along a: with translations of only -1..1 around its raw
    // position it would never come near Na; its codes name the whole translation applied.
    SearchFixture f;
    f.structure.sites[1].x = 2.5;
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 4);
    ASSERT_EQ(f.between("Na1", "Cl1"), 2);
    EXPECT_EQ(symmetryCode(f.bonds[0].image), " 1_255");
    EXPECT_EQ(f.bonds[0].position, (std::array<double, 3>{-0.5, 0, 0}));
    EXPECT_EQ(symmetryCode(f.bonds[1].image), " 1_355");
    EXPECT_DOUBLE_EQ(f.bonds[1].d, 2.0);
}

TEST(NeighbourSearch, SitesSharingAPositionAreAllCentresAndNeighbours) {
    // Mg and Fe sharing the origin: each has its own two Cl, and Cl has both as neighbours.
    SearchFixture f;
    f.table = "Mg 2 Cl 1 2.080 b\nFe 2 Cl 1 2.060 b\n";
    f.structure.sites = {Site{"Mg1", 0.6, 0, 0, 0, 0, 0, 0, 2, 2.0},
                         Site{"Fe1", 0.4, 0, 0, 0, 0, 0, 0, 2, 2.0},
                         Site{"Cl1", 1, 0.5, 0, 0, 0, 0, 0, -1, 2.0}};
    ASSERT_EQ(f.run(), 0) << f.message;
    EXPECT_EQ(f.count, 8);
    for (const auto& [centre, neighbour] :
         {std::pair{"Mg1", "Cl1"}, {"Fe1", "Cl1"}, {"Cl1", "Mg1"}, {"Cl1", "Fe1"}})
        EXPECT_EQ(f.between(centre, neighbour), 2) << centre << " " << neighbour;
}

TEST(NeighbourSearch, SymmetryCodesStayReadableBeyondOneDigit) {
    for (const auto& [image, code] : {std::pair{NeighbourImage{0, {0, 0, 0}}, " 1_555"},
                                      {NeighbourImage{11, {-1, 0, 1}}, "12_456"},
                                      {NeighbourImage{0, {-4, 4, 0}}, " 1_195"},
                                      {NeighbourImage{0, {0, 5, 0}}, "1_5_10_5"},
                                      {NeighbourImage{2, {-5, 0, 0}}, "3_0_5_5"},
                                      {NeighbourImage{99, {1, 1, 1}}, "100_666"},
                                      {NeighbourImage{191, {-12, 0, 7}}, "192_-7_5_12"}})
        EXPECT_EQ(symmetryCode(image), code);
}

TEST(NeighbourSearch, TheCapacityOfTheDistanceListIsGuarded) {
    SearchFixture f;
    // 11³ = 1331 images of one site within 100 Å, every one a bond to itself while it has no
    // charge: only kept entries count against the capacity.
    f.table = "Na 1 Na 1 2.000 x\n";
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
}

}  // namespace
}  // namespace tarnell
