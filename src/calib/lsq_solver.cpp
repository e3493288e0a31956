#include "calib/lsq_solver.h"

#include <cmath>
#include <new>
#include <utility>

namespace clinora::calib {

void NumericFatalError(const std::string& message) { throw NumericFailure(message); }

namespace {

// Sizes come from the callers' counts; a negative one is an allocation failure.
std::size_t Checked(int size, const char* failure) {
    if (size < 0) NumericFatalError(failure);
    return static_cast<std::size_t>(size);
}

template <class Vec>
Vec Allocate(std::size_t size, const char* failure) {
    try {
        return Vec(size);
    } catch (const std::bad_alloc&) {
        NumericFatalError(failure);
    } catch (const std::length_error&) {
        NumericFatalError(failure);
    }
}

}  // namespace

Vector1::Vector1(int size)
    : v_(Allocate<std::vector<double>>(Checked(size, kFitOutOfMemory), kFitOutOfMemory)) {}

IntVector1::IntVector1(int size)
    : v_(Allocate<std::vector<int>>(Checked(size, kFitOutOfMemory), kFitOutOfMemory)) {}

Matrix1::Matrix1(int rows, int cols) : rows_(rows), cols_(cols) {
    const std::size_t r = Checked(rows, kFitOutOfMemory);
    const std::size_t c = Checked(cols, kFitOutOfMemory);
    cells_ = Allocate<std::vector<double>>(r * c, kFitOutOfMemory);
}

void PolynomialBasis(double x, Vector1& values, int terms) {
    values[1] = 1.0;
    for (int j = 2; j <= terms; ++j) values[j] = values[j - 1] * x;
}

void FitLinearLeastSquares(const Vector1& x, const Vector1& y, const Vector1& sigma, int count,
                           Vector1& a, const IntVector1& fitFlags, int terms, Matrix1& covariance,
                           double& chiSquare, const BasisFunction& basis) {
    int fitted = 0;
    for (int j = 1; j <= terms; ++j)
        if (fitFlags[j]) ++fitted;
    if (fitted == 0) NumericFatalError(kNothingToFit);

    Matrix1 beta(terms, 1);
    Vector1 values(terms);
    for (int j = 1; j <= fitted; ++j) {
        for (int k = 1; k <= fitted; ++k) covariance[j][k] = 0.0;
        beta[j][1] = 0.0;
    }
    for (int i = 1; i <= count; ++i) {
        basis(x[i], values, terms);
        double ym = y[i];
        if (fitted < terms) {  // take the held terms out of the data
            for (int j = 1; j <= terms; ++j)
                if (!fitFlags[j]) ym -= a[j] * values[j];
        }
        const double weight = 1.0 / (sigma[i] * sigma[i]);
        // Lower triangle of the normal matrix and the right-hand side, free terms only.
        for (int j = 0, l = 1; l <= terms; ++l) {
            if (!fitFlags[l]) continue;
            const double wt = values[l] * weight;
            ++j;
            for (int k = 0, m = 1; m <= l; ++m)
                if (fitFlags[m]) covariance[j][++k] += wt * values[m];
            beta[j][1] += ym * wt;
        }
    }
    for (int j = 2; j <= fitted; ++j)
        for (int k = 1; k < j; ++k) covariance[k][j] = covariance[j][k];

    SolveGaussJordan(covariance, fitted, beta, 1);
    for (int j = 0, l = 1; l <= terms; ++l)
        if (fitFlags[l]) a[l] = beta[++j][1];

    chiSquare = 0.0;
    for (int i = 1; i <= count; ++i) {
        basis(x[i], values, terms);
        double sum = 0.0;
        for (int j = 1; j <= terms; ++j) sum += a[j] * values[j];
        const double r = (y[i] - sum) / sigma[i];
        chiSquare += r * r;
    }
    SortCovariance(covariance, terms, fitFlags, fitted);
}

void SolveGaussJordan(Matrix1& matrix, int n, Matrix1& rightHandSides, int m, PivotTrace* trace) {
    IntVector1 columnOf(n), rowOf(n), pivoted(n);
    for (int j = 1; j <= n; ++j) pivoted[j] = 0;
    if (trace) trace->clear();

    for (int i = 1; i <= n; ++i) {
        // Largest element among the rows and columns not yet pivoted; ">=" makes
        // the last of equal magnitudes win, so a zero can be chosen.
        double big = 0.0;
        int row = 0, col = 0;
        for (int j = 1; j <= n; ++j) {
            if (pivoted[j]) continue;
            for (int k = 1; k <= n; ++k) {
                if (pivoted[k]) continue;
                const double magnitude = std::fabs(matrix[j][k]);
                if (magnitude >= big) {
                    big = magnitude;
                    row = j;
                    col = k;
                }
            }
        }
        // No candidate at all happens only with NaN elements left.
        if (col == 0) NumericFatalError(kSingularFit);
        pivoted[col] = 1;
        if (row != col) {
            for (int l = 1; l <= n; ++l) std::swap(matrix[row][l], matrix[col][l]);
            for (int l = 1; l <= m; ++l) std::swap(rightHandSides[row][l], rightHandSides[col][l]);
        }
        rowOf[i] = row;
        columnOf[i] = col;
        if (trace) trace->emplace_back(row, col);
        if (matrix[col][col] == 0.0) NumericFatalError(kSingularFit);

        const double inverse = 1.0 / matrix[col][col];
        matrix[col][col] = 1.0;
        for (int l = 1; l <= n; ++l) matrix[col][l] *= inverse;
        for (int l = 1; l <= m; ++l) rightHandSides[col][l] *= inverse;
        for (int ll = 1; ll <= n; ++ll) {
            if (ll == col) continue;
            const double factor = matrix[ll][col];
            matrix[ll][col] = 0.0;
            for (int l = 1; l <= n; ++l) matrix[ll][l] -= matrix[col][l] * factor;
            for (int l = 1; l <= m; ++l) rightHandSides[ll][l] -= rightHandSides[col][l] * factor;
        }
    }
    // Undo the column permutation, last pivot first.
    for (int l = n; l >= 1; --l) {
        if (rowOf[l] == columnOf[l]) continue;
        for (int k = 1; k <= n; ++k) std::swap(matrix[k][rowOf[l]], matrix[k][columnOf[l]]);
    }
}

void SortCovariance(Matrix1& covariance, int terms, const IntVector1& fitFlags, int fitted) {
    for (int i = fitted + 1; i <= terms; ++i)
        for (int j = 1; j <= i; ++j) covariance[i][j] = covariance[j][i] = 0.0;
    int k = fitted;
    for (int j = terms; j >= 1; --j) {
        if (!fitFlags[j]) continue;
        for (int i = 1; i <= terms; ++i) std::swap(covariance[i][k], covariance[i][j]);
        for (int i = 1; i <= terms; ++i) std::swap(covariance[k][i], covariance[j][i]);
        --k;
    }
}

}  // namespace clinora::calib
