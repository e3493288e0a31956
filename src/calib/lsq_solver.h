#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace clinora::calib {

// A failure of the numerical routines; what() says in words what failed.
class NumericFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the numerical routines report.
inline constexpr const char* kSingularFit =
    "the readings do not determine the fit (fewer than six different averaged readings)";
inline constexpr const char* kNothingToFit = "the fit has no coefficient left to find";
inline constexpr const char* kFitOutOfMemory = "not enough memory for the fit";

// Throws NumericFailure with `message`. Nothing is printed: the caller decides
// what a failure means for the run and tells the user; the process goes on.
[[noreturn]] void NumericFatalError(const std::string& message);

// Vectors and matrices indexed from 1, as the routines below are written.
class Vector1 {
public:
    explicit Vector1(int size);
    double& operator[](int i) { return v_[static_cast<std::size_t>(i - 1)]; }
    double operator[](int i) const { return v_[static_cast<std::size_t>(i - 1)]; }
    int size() const { return static_cast<int>(v_.size()); }

private:
    std::vector<double> v_;
};

class IntVector1 {
public:
    explicit IntVector1(int size);
    int& operator[](int i) { return v_[static_cast<std::size_t>(i - 1)]; }
    int operator[](int i) const { return v_[static_cast<std::size_t>(i - 1)]; }

private:
    std::vector<int> v_;
};

class Matrix1 {
public:
    Matrix1(int rows, int cols);
    class Row {
    public:
        double& operator[](int j) const { return p_[j - 1]; }

    private:
        friend class Matrix1;
        explicit Row(double* p) : p_(p) {}
        double* p_;
    };
    Row operator[](int i) { return Row(&cells_[static_cast<std::size_t>(i - 1) * cols_]); }
    double at(int i, int j) const {
        return cells_[static_cast<std::size_t>(i - 1) * cols_ + (j - 1)];
    }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

private:
    int rows_, cols_;
    std::vector<double> cells_;  // one block, row after row
};

// Basis routine: fills values[1..terms] with the basis functions at x.
using BasisFunction = std::function<void(double x, Vector1& values, int terms)>;

// Polynomial basis 1, x, x^2, ...; each power is the previous one times x.
void PolynomialBasis(double x, Vector1& values, int terms);

// Where each elimination step of SolveGaussJordan found its pivot.
using PivotTrace = std::vector<std::pair<int, int>>;  // (row, column)

// General linear least squares through the normal equations. Throws
// NumericFailure on a singular system or when no term is free.
void FitLinearLeastSquares(const Vector1& x, const Vector1& y, const Vector1& sigma, int count,
                           Vector1& a, const IntVector1& fitFlags, int terms, Matrix1& covariance,
                           double& chiSquare, const BasisFunction& basis);

// Gauss-Jordan elimination with full pivoting on the leading n x n block of
// `matrix` and the first m columns of `rightHandSides`. On return the matrix
// holds its inverse and the right-hand sides the solutions.
void SolveGaussJordan(Matrix1& matrix, int n, Matrix1& rightHandSides, int m,
                      PivotTrace* trace = nullptr);

// Spreads the fitted block of the covariance matrix over all terms, zeros for
// held terms.
void SortCovariance(Matrix1& covariance, int terms, const IntVector1& fitFlags, int fitted);

}  // namespace clinora::calib
