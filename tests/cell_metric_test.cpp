#include "crystal/cell_metric.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_files.h"

namespace tarnell {
namespace {

// Three angles of 170 degrees gave Ti-O 0.557 A and a sum of 72; every such cell is refused
// naming the value.
TEST(CellCheck, OnlyCellsThatSpanAVolumeWithUsableUncertaintiesPass) {
    const double nan = std::nan("");
    const double inf = INFINITY;
    using Six = std::array<double, 6>;
    const Six sigma{0.001, 0.001, 0.001, 0.01, 0.01, 0.01};
    const struct {
        Six cell;
        Six sigma;
        std::string message;  // after "  Error !!!  ", or "" for a cell
    } cases[] = {
        {{4.59, 4.59, 2.96, 90, 90, 90}, sigma, ""},
        {{5, 5, 5, 60, 60, 60}, sigma, ""},
        {{5, 6, 7, 100, 110, 120}, Six{}, ""},
        {{0, 4.59, 2.96, 90, 90, 90}, sigma, "Cell edge a = 0 must be positive."},
        {{4.59, -1, 2.96, 90, 90, 90}, sigma, "Cell edge b = -1 must be positive."},
        {{4.59, 4.59, nan, 90, 90, 90}, sigma, "Cell edge c = nan must be positive."},
        {{4.59, 4.59, inf, 90, 90, 90}, sigma, "Cell edge c = inf must be positive."},
        {{4.59, 4.59, 2.96, 0, 90, 90},
         sigma,
         "Cell angle alpha = 0 must lie between 0 and 180 degrees."},
        {{4.59, 4.59, 2.96, 90, 180, 90},
         sigma,
         "Cell angle beta = 180 must lie between 0 and 180 degrees."},
        {{4.59, 4.59, 2.96, 90, 90, nan},
         sigma,
         "Cell angle gamma = nan must lie between 0 and 180 degrees."},
        {{4.59, 4.59, 2.96, 170, 170, 170},
         sigma,
         "Cell angles alpha = 170, beta = 170, gamma = 170 make no cell."},
        {{5, 5, 5, 120, 120, 120},
         sigma,
         "Cell angles alpha = 120, beta = 120, gamma = 120 make no cell."},
        {{5, 5, 5, 30, 30, 100},
         sigma,
         "Cell angles alpha = 30, beta = 30, gamma = 100 make no cell."},
        {{4.59, 4.59, 2.96, 90, 90, 90},
         {0.001, -0.001, 0, 0, 0, 0},
         "Uncertainty -0.001 of cell parameter b must be finite and not negative."},
        {{4.59, 4.59, 2.96, 90, 90, 90},
         {0, 0, 0, 0, 0, inf},
         "Uncertainty inf of cell parameter gamma must be finite and not negative."},
    };
    for (const auto& c : cases) {
        std::string message;
        const int status = test::codeOf(checkCell(c.cell, c.sigma), message);
        if (c.message.empty()) {
            EXPECT_EQ(status, 0) << message;
            continue;
        }
        EXPECT_EQ(status, -1);
        EXPECT_EQ(message, "  Error !!!  " + c.message + "\n");
    }
}

}  // namespace
}  // namespace tarnell
