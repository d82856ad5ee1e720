// The 3 × 3 matrices of the system: metric tensors, the matrices that change a cell's setting and
// the rotations of symmetry operators. Element (i, j) is row i, column j, counted from 0.
#pragma once

#include <array>

namespace tarnell {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

// Gauss–Jordan inversion in place with partial pivoting by rows; `determinant` receives the
// determinant of the input. A pivot must exceed `pivotTolerance` in magnitude; among rows of equal
// magnitude the upper one is taken. 0 on success; 1 when some column has no usable pivot, and
// then the contents of `a` are partly transformed and of no use.
int invertMatrix(Matrix3& a, double& determinant, double pivotTolerance);

// x^T · A · y
double quadraticForm(const Vector3& x, const Matrix3& a, const Vector3& y);

// A · v
Vector3 multiply(const Matrix3& a, const Vector3& v);
// A · B
Matrix3 multiply(const Matrix3& a, const Matrix3& b);
// A^T
Matrix3 transpose(const Matrix3& a);

}  // namespace tarnell
