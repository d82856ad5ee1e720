#include "search/neighbour_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/test_files.h"
#include "valence/bond_search.h"

namespace tarnell {
namespace {

// Na at the origin and Cl half an edge away along a, in a cubic cell of 4 Å: the Na–Cl distance
// is exactly 2 Å.
struct SearchFixture {
    std::string table = "Na 1 Cl 1 2.150 b\nNa 1 Cl 1 2.220 e\n";
    CrystalStructure structure;
    Settings settings;
    OperatorTable operators{test::identity()};
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
