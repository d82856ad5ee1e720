#include "valence/bond_search.h"

#include <gtest/gtest.h>

namespace tarnell {
namespace {

Site ion(const std::string& element, double charge) {
    return Site{.name = element, .charge = charge, .element = element};
}

// A pair that the table lists in both orders (As–S and S–As) takes the lines whose first ion is
// the positive one; a charge of 0 does not tell, so the other ion's sign decides, and only where
// neither tells does the centre come first. Cobaltite CoAsS read with S2- and an uncharged As
// otherwise sums S over the S–As line: 6.1659 instead of 6.0149.
TEST(BondSearch, APairListedInBothOrdersTakesThePositiveIonFirstWhateverTheOtherCharge) {
    ParameterTable table;
    table.lines = {{"As", 3, "S", 2, 2.272, "a", 0.37}, {"S", 2, "As", 3, 2.30, "x", 0.37}};
    const struct {
        double centreCharge;  // the centre is S, the neighbour As
        double neighbourCharge;
        const char* firstIon;
    } cases[] = {
        {-2, 0, "As3+"}, {0, 3, "As3+"}, {-2, 3, "As3+"}, {2, -3, "S2+"},
        {0, -3, "S2+"},  {2, 0, "S2+"},  {0, 0, "S2+"},
    };
    for (const auto& c : cases) {
        const Site s = ion("S", c.centreCharge);
        const Site as = ion("As", c.neighbourCharge);
        const std::vector<BondParameter> fromS = bondParameters(table, s, as);
        ASSERT_EQ(fromS.size(), 1u) << c.centreCharge << " " << c.neighbourCharge;
        EXPECT_EQ(fromS[0].cationKey, c.firstIon) << c.centreCharge << " " << c.neighbourCharge;
        // Seen from As, the same line, except where neither charge tells.
        if (c.centreCharge == 0 && c.neighbourCharge == 0) continue;
        const std::vector<BondParameter> fromAs = bondParameters(table, as, s);
        ASSERT_EQ(fromAs.size(), 1u);
        EXPECT_EQ(fromAs[0].cationKey, c.firstIon) << c.centreCharge << " " << c.neighbourCharge;
    }
}

}  // namespace
}  // namespace tarnell
