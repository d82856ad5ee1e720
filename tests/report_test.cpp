#include "valence/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "settings/text.h"

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

// The distance list is written with std::to_chars; its lines must stay exactly printf's, also
// at the edges of rounding, of sign and of width.
TEST(Report, DistanceLinesAreExactlyPrintfsFormat) {
    CalculationResult result;
    result.structure.sites = {Site{"O1"}, Site{"Fe12345"}};
    const double values[] = {0.0,      -0.0,      0.123455,   -0.123455, 0.000005,   -0.000004,
                             0.999995, -0.999995, 1.5,        -12.25,    123.456789, 1e-300,
                             2.675e-3, 99999.5,   -1234567.8, 0.1 + 0.2, 1.0 / 3.0,  7e10};
    for (const double v : values) {
        for (const auto& [number, image] :
             {std::pair{1, NeighbourImage{0, {0, 0, 0}}}, {1234, NeighbourImage{11, {-1, 6, 0}}}}) {
            Bond bond;
            bond.centre = number == 1 ? 0 : 1;
            bond.neighbour = 1 - bond.centre;
            bond.number = number;
            bond.image = image;
            bond.position = {v, -v, v / 7};
            bond.d = std::fabs(v);
            bond.sigma = v * 1e-3;
            Site& centre = result.structure.sites[static_cast<std::size_t>(bond.centre)];
            centre.x = v;
            centre.y = -v / 3;
            centre.z = v * 2;
            const Site& neighbour =
                result.structure.sites[static_cast<std::size_t>(bond.neighbour)];
            const std::string expected = formatText(
                " %3d  %-4s % 8.5lf % 8.5lf % 8.5lf   %-4s %7s % 8.5lf % 8.5lf % 8.5lf % 8.5lf "
                "% 8.5lf",
                bond.number, centre.name.c_str(), centre.x, centre.y, centre.z,
                neighbour.name.c_str(), symmetryCode(bond.image).c_str(), bond.position[0],
                bond.position[1], bond.position[2], bond.d, bond.sigma);
            EXPECT_EQ(distanceLine(result, bond), expected) << v;
        }
    }
}

}  // namespace
}  // namespace tarnell
