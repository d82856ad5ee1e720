#include "valence/report.h"

#include <gtest/gtest.h>

namespace tarnell {
namespace {

// The bundled examples' reports check the layout as a whole, and the run sequence's tests the
// error form; these are the columns that those do not reach.
TEST(Report, CrystalDataKeepTheirColumnsForLongNamesAndNegativeValues) {
    CalculationResult result;
    result.stage = CalculationStage::Listed;
    CrystalStructure& s = result.structure;
    s.sgName = "P 1 21/c 1 long";
    s.sites = {Site{"Mn1", 1, -0.125, 0.5, 0.25, 0.0001, 0, 0.0002, 2, 3}};
    const std::string report = reportText(result);
    EXPECT_NE(report.find("\n  SG Name    : P 1 21/c 1 long\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\n  Mn1      2.000000   -0.125000    0.500000    0.250000\n"
                          "                       0.000100    0.000000    0.000200\n"),
              std::string::npos)
        << report;
}

}  // namespace
}  // namespace tarnell
