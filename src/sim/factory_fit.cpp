#include "factory_fit.h"

#include <cmath>
#include <utility>

namespace clinora::sim {

namespace {

constexpr int kTerms = 6;

// Solves the kTerms x kTerms system in place by Gaussian elimination with
// partial pivoting; false when it is singular.
bool Solve(std::array<std::array<double, kTerms>, kTerms>& m, std::array<double, kTerms>& rhs) {
    for (int col = 0; col < kTerms; ++col) {
        int pivot = col;
        for (int row = col + 1; row < kTerms; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
        }
        if (m[pivot][col] == 0.0 || !std::isfinite(m[pivot][col])) return false;
        std::swap(m[col], m[pivot]);
        std::swap(rhs[col], rhs[pivot]);
        for (int row = col + 1; row < kTerms; ++row) {
            const double f = m[row][col] / m[col][col];
            for (int k = col; k < kTerms; ++k) m[row][k] -= f * m[col][k];
            rhs[row] -= f * rhs[col];
        }
    }
    for (int row = kTerms - 1; row >= 0; --row) {
        double sum = rhs[row];
        for (int k = row + 1; k < kTerms; ++k) sum -= m[row][k] * rhs[k];
        rhs[row] = sum / m[row][row];
    }
    return true;
}

}  // namespace

std::optional<Quintic> FitQuintic(const std::vector<double>& x, const std::vector<double>& y) {
    if (x.size() != y.size() || x.size() < static_cast<size_t>(kTerms)) return std::nullopt;
    // Fit in t = (x - centre) / scale, which keeps the normal equations well
    // conditioned, then expand back into powers of x.
    double lo = x[0], hi = x[0];
    for (double v : x) {
        lo = std::fmin(lo, v);
        hi = std::fmax(hi, v);
    }
    const double centre = 0.5 * (lo + hi);
    const double scale = 0.5 * (hi - lo);
    if (!(scale > 0.0) || !std::isfinite(scale)) return std::nullopt;

    std::array<std::array<double, kTerms>, kTerms> normal{};
    std::array<double, kTerms> rhs{};
    for (size_t i = 0; i < x.size(); ++i) {
        std::array<double, kTerms> basis;
        basis[0] = 1.0;
        const double t = (x[i] - centre) / scale;
        for (int k = 1; k < kTerms; ++k) basis[k] = basis[k - 1] * t;
        for (int j = 0; j < kTerms; ++j) {
            for (int k = 0; k < kTerms; ++k) normal[j][k] += basis[j] * basis[k];
            rhs[j] += basis[j] * y[i];
        }
    }
    if (!Solve(normal, rhs)) return std::nullopt;

    // sum_k b_k ((x - c) / s)^k expanded with the binomial theorem.
    Quintic result{};
    for (int k = 0; k < kTerms; ++k) {
        const double bk = rhs[k] / std::pow(scale, k);
        double binomial = 1.0;  // C(k, j)
        for (int j = 0; j <= k; ++j) {
            result[j] += bk * binomial * std::pow(-centre, k - j);
            binomial = binomial * (k - j) / (j + 1);
        }
    }
    for (double c : result) {
        if (!std::isfinite(c)) return std::nullopt;
    }
    return result;
}

double EvaluateQuintic(const Quintic& c, double x) {
    double sum = 0.0;
    for (int k = kTerms - 1; k >= 0; --k) sum = sum * x + c[k];
    return sum;
}

Quintic FactoryPolynomial(const AxisProfile& p) {
    std::vector<double> volts, sines;
    for (int deg = -90; deg <= 90; ++deg) {
        volts.push_back(AxisVolts(p, deg, 25.0));
        sines.push_back(std::sin(deg * kPi / 180.0));
    }
    if (auto fit = FitQuintic(volts, sines)) return *fit;
    // Unreachable for profiles inside the bounds; a straight line is the safe answer.
    const double gain = p.gain != 0.0 ? p.gain : 1.0;
    const double slope = 1.0 / (kSpanVolts * gain);
    return {-(kCentreVolts + p.offset) * slope, slope, 0.0, 0.0, 0.0, 0.0};
}

}  // namespace clinora::sim
