#include "crystal/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarnell {
namespace {

int invert(Matrix3& a, double& determinant) {
    return invertMatrix(a, determinant, 1e-5);
}

// A 2 × 2 block in the top left, 1 below it on the diagonal.
Matrix3 block(double a, double b, double c, double d) {
    return {{{a, b, 0}, {c, d, 0}, {0, 0, 1}}};
}

// The signed permutations of the setting conversion are inverted there, with exact results.
TEST(Matrix, PivotMustExceedTheToleranceStrictlyAndEqualPivotsKeepTheUpperRow) {
    const double above = std::nextafter(1e-5, 1.0);
    double determinant = 0;
    for (Matrix3 a : {Matrix3{{{1, 0, 2}, {3, 0, 4}, {5, 0, 6}}}, block(-1e-5, 0, 0, 1)}) {
        EXPECT_EQ(invert(a, determinant), 1);
    }
    Matrix3 a = block(above, 0, 0, 1);
    EXPECT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(determinant, above);
    a = block(0, 1, 1, 0);  // a row exchange changes the determinant's sign
    EXPECT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(determinant, -1.0);
    EXPECT_EQ(a, block(0, 1, 1, 0));
    // Pivoting on row 0 gives the top-left element of the inverse as 1 + x·(1/p); row 1 would
    // give y·(1/p), equal in exact arithmetic but one bit apart for these values.
    const double x = 0.2, y = 0.35, p = y - x;
    ASSERT_NE(1.0 + x * (1.0 / p), y * (1.0 / p));
    a = block(1, x, 1, y);
    ASSERT_EQ(invert(a, determinant), 0);
    EXPECT_EQ(a[0][0], 1.0 + x * (1.0 / p));
}

}  // namespace
}  // namespace tarnell
