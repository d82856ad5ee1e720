#include "crystal/matrix.h"

#include <cmath>
#include <cstddef>

namespace tarnell {
namespace {

// Sums run in increasing index order from 0.0, so that a sum of zero terms is +0 and never
// prints as "-0.00000".
double rowTimesVector(const std::vector<double>& row, const std::vector<double>& v, int n) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) sum += row[j] * v[j];
    return sum;
}

// A dimension as a size; a negative one means nothing to do.
std::size_t sizeOf(int n) {
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool holds(const Matrix& a, int rows, int columns) {
    if (rows < 0 || columns < 0 || a.size() < sizeOf(rows)) return false;
    for (int i = 0; i < rows; ++i) {
        if (a[i].size() < sizeOf(columns)) return false;
    }
    return true;
}

void storeVector(std::vector<double>& out, const std::vector<double>& result, int n) {
    if (out.size() < sizeOf(n)) out.resize(sizeOf(n));
    for (int i = 0; i < n; ++i) out[i] = result[i];
}

void storeMatrix(Matrix& out, const Matrix& result, int n) {
    if (out.size() < sizeOf(n)) out.resize(sizeOf(n));
    for (int i = 0; i < n; ++i) storeVector(out[i], result[i], n);
}

}  // namespace

int invertMatrix(Matrix& a, int n, int m, double& determinant, double pivotTolerance) {
    determinant = 1.0;
    if (m < n || !holds(a, n, m)) return 1;

    std::vector<int> pivotRow(sizeOf(n));
    for (int k = 0; k < n; ++k) {
        double pivot = pivotTolerance;
        int row = -1;
        for (int i = k; i < n; ++i) {
            if (std::fabs(a[i][k]) > std::fabs(pivot)) {
                pivot = a[i][k];
                row = i;
            }
        }
        pivotRow[k] = row;
        if (row < 0) return 1;

        if (row != k) {
            for (int j = 0; j < m; ++j) swapDoubles(a[k][j], a[row][j]);
            determinant = -determinant;
        }
        determinant *= pivot;

        a[k][k] = 1.0;
        for (int j = 0; j < m; ++j) a[k][j] /= pivot;
        for (int i = 0; i < n; ++i) {
            if (i == k) continue;
            const double f = a[i][k];
            a[i][k] = 0.0;
            for (int j = 0; j < m; ++j) a[i][j] -= f * a[k][j];
        }
    }

    // The row exchanges of the elimination come back as column exchanges, last one first.
    for (int k = n - 2; k >= 0; --k) {
        const int row = pivotRow[k];
        if (row == k) continue;
        for (int i = 0; i < n; ++i) swapDoubles(a[i][k], a[i][row]);
    }
    return 0;
}

void swapDoubles(double& a, double& b) {
    const double kept = a;
    a = b;
    b = kept;
}

double quadraticForm(const std::vector<double>& x, const Matrix& a, const std::vector<double>& y,
                     int n) {
    std::vector<double> ay(sizeOf(n));
    for (int i = 0; i < n; ++i) ay[i] = rowTimesVector(a[i], y, n);
    return rowTimesVector(x, ay, n);
}

void multiplyMatrixVector(std::vector<double>& r, const Matrix& a, const std::vector<double>& v,
                          int n) {
    std::vector<double> result(sizeOf(n));
    for (int i = 0; i < n; ++i) result[i] = rowTimesVector(a[i], v, n);
    storeVector(r, result, n);
}

void multiplyMatrices(Matrix& c, const Matrix& a, const Matrix& b, int n) {
    Matrix result(sizeOf(n), std::vector<double>(sizeOf(n)));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += a[i][k] * b[k][j];
            result[i][j] = sum;
        }
    }
    storeMatrix(c, result, n);
}

void transposeMatrix(Matrix& t, const Matrix& a, int n) {
    Matrix result(sizeOf(n), std::vector<double>(sizeOf(n)));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) result[j][i] = a[i][j];
    }
    storeMatrix(t, result, n);
}

}  // namespace tarnell
