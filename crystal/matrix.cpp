#include "crystal/matrix.h"

#include <cmath>
#include <utility>

namespace tarnell {
namespace {

constexpr int N = 3;

// Sums run in increasing index order from 0.0, so that a sum of zero terms is +0 and never
// prints as "-0.00000".
double rowTimesVector(const Vector3& row, const Vector3& v) {
    double sum = 0.0;
    for (int j = 0; j < N; ++j) sum += row[j] * v[j];
    return sum;
}

}  // namespace

int invertMatrix(Matrix3& a, double& determinant, double pivotTolerance) {
    determinant = 1.0;
    std::array<int, N> pivotRow{};
    for (int k = 0; k < N; ++k) {
        double pivot = pivotTolerance;
        int row = -1;
        for (int i = k; i < N; ++i) {
            if (std::fabs(a[i][k]) > std::fabs(pivot)) {
                pivot = a[i][k];
                row = i;
            }
        }
        pivotRow[k] = row;
        if (row < 0) return 1;

        if (row != k) {
            std::swap(a[k], a[row]);
            determinant = -determinant;
        }
        determinant *= pivot;

        a[k][k] = 1.0;
        for (int j = 0; j < N; ++j) a[k][j] /= pivot;
        for (int i = 0; i < N; ++i) {
            if (i == k) continue;
            const double f = a[i][k];
            a[i][k] = 0.0;
            for (int j = 0; j < N; ++j) a[i][j] -= f * a[k][j];
        }
    }

    // The row exchanges of the elimination come back as column exchanges, last one first.
    for (int k = N - 2; k >= 0; --k) {
        const int row = pivotRow[k];
        if (row == k) continue;
        for (int i = 0; i < N; ++i) std::swap(a[i][k], a[i][row]);
    }
    return 0;
}

double quadraticForm(const Vector3& x, const Matrix3& a, const Vector3& y) {
    Vector3 ay{};
    for (int i = 0; i < N; ++i) ay[i] = rowTimesVector(a[i], y);
    return rowTimesVector(x, ay);
}

Vector3 multiply(const Matrix3& a, const Vector3& v) {
    Vector3 result{};
    for (int i = 0; i < N; ++i) result[i] = rowTimesVector(a[i], v);
    return result;
}

Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 result{};
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j) {
            double sum = 0.0;
            for (int k = 0; k < N; ++k) sum += a[i][k] * b[k][j];
            result[i][j] = sum;
        }
    }
    return result;
}

Matrix3 transpose(const Matrix3& a) {
    Matrix3 result{};
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j) result[j][i] = a[i][j];
    }
    return result;
}

}  // namespace tarnell
