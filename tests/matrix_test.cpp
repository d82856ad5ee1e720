#include "crystal/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarnell {
namespace {

int invert(Matrix& a, double& determinant) {
    const int n = static_cast<int>(a.size());
    return invertMatrix(a, n, n, determinant, 1e-5);
}

// The signed permutations of the setting conversion are inverted there, with exact results.
TEST(Matrix, PivotMustExceedTheToleranceStrictlyAndEqualPivotsKeepTheUpperRow) {
    const double above = std::nextafter(1e-5, 1.0);
    double determinant = 0;
    for (Matrix a : {Matrix{{1, 0, 2}, {3, 0, 4}, {5, 0, 6}}, Matrix{{-1e-5, 0}, {0, 1}}}) {
        EXPECT_EQ(invert(a, determinant), 1);
    }
    Matrix a = {{above, 0}, {0, 1}};
    EXPECT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(determinant, above);
    a = {{0, 1}, {1, 0}};  // a row exchange changes the determinant's sign
    EXPECT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(determinant, -1.0);
    EXPECT_EQ(a, (Matrix{{0, 1}, {1, 0}}));
    // Pivoting on row 0 gives the top-left element of the inverse as 1 + x·(1/p); row 1 would
    // give y·(1/p), equal in exact arithmetic but one bit apart for these values.
    const double x = 0.2, y = 0.35, p = y - x;
    ASSERT_NE(1.0 + x * (1.0 / p), y * (1.0 / p));
    a = {{1, x}, {1, y}};
    ASSERT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(a[0][0], 1.0 + x * (1.0 / p));
}

}  // namespace
}  // namespace tarnell
