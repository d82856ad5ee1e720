// Small dense matrices and vectors of doubles, enough for metric tensors and the 3 × 3 matrices
// that change a cell's setting. Element (i, j) is row i, column j, counted from 0.
#pragma once

#include <vector>

namespace tarnell {

// A dense matrix held as its rows; the caller owns it.
using Matrix = std::vector<std::vector<double>>;

// Gauss–Jordan inversion in place with partial pivoting by rows. `a` has n rows of m columns
// (m = n for a plain inverse); `determinant` receives the determinant of the input. A pivot
// must exceed `pivotTolerance` in magnitude; among rows of equal magnitude the upper one is taken.
// 0 on success; 1 when some column has no usable pivot, or when `a` is not n rows of at least m
// >= n columns. After a result of 1 the contents of `a` are partly transformed and of no use.
int invertMatrix(Matrix& a, int n, int m, double& determinant, double pivotTolerance);

void swapDoubles(double& a, double& b);

// x^T · A · y over the first n elements.
double quadraticForm(const std::vector<double>& x, const Matrix& a, const std::vector<double>& y,
                     int n);

// The products and the transpose below read the first n elements (n rows and n columns) of their
// inputs, which must hold that many. The result goes into the first n elements of the out-value,
// which is enlarged when it is smaller; it may be one of the inputs.

// r = A · v
void multiplyMatrixVector(std::vector<double>& r, const Matrix& a, const std::vector<double>& v,
                          int n);
// C = A · B
void multiplyMatrices(Matrix& c, const Matrix& a, const Matrix& b, int n);
// T = A^T
void transposeMatrix(Matrix& t, const Matrix& a, int n);

}  // namespace tarnell
