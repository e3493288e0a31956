#include "calib/cal_fit_workspace.h"

#include <algorithm>
#include <cmath>

#include "calib/lsq_solver.h"
#include "calib/nominal_angles.h"

namespace clinora::calib {

namespace {

constexpr int kTerms = 6;
constexpr double kRadiansPerDegree = 0.017453292519943295;

bool ValidAxis(int axis) { return axis == kAxisA || axis == kAxisB; }

}  // namespace

void CalFitWorkspace::Reset(int positions, double tiltRange) {
    n_ = std::clamp(positions, 0, kMaxPositions);
    tiltRange_ = tiltRange;
    a_ = {};
    b_ = {};
    aCrossQuadratic_ = aCrossLinear_ = bCrossQuadratic_ = bCrossLinear_ = 0.0;
    for (Positions* p : {&aFirstMain_, &aFirstCompanion_, &aReturnMain_, &aReturnCompanion_,
                         &bFirstCompanion_, &bFirstMain_, &bReturnCompanion_, &bReturnMain_,
                         &aMainAverage_, &aCompanionAverage_, &bCompanionAverage_, &bMainAverage_})
        p->fill(0.0);
    for (Pairs* p : {&aPairX_, &aPairY_, &bPairX_, &bPairY_}) p->fill(0.0);
}

void CalFitWorkspace::load(const DeviceRecord& record) {
    const auto copy = [this](const PositionArray& from, Positions& to) {
        std::copy_n(from.begin(), n_, to.begin());
    };
    copy(record.aFirstMain, aFirstMain_);
    copy(record.aFirstCompanion, aFirstCompanion_);
    copy(record.aReturnMain, aReturnMain_);
    copy(record.aReturnCompanion, aReturnCompanion_);
    copy(record.bFirstCompanion, bFirstCompanion_);
    copy(record.bFirstMain, bFirstMain_);
    copy(record.bReturnCompanion, bReturnCompanion_);
    copy(record.bReturnMain, bReturnMain_);
}

void CalFitWorkspace::setConstants(int axis, const Coefficients& coefficients, double crossLinear,
                                   double crossQuadratic) {
    if (axis == kAxisA) {
        a_ = coefficients;
        aCrossLinear_ = crossLinear;
        aCrossQuadratic_ = crossQuadratic;
    } else if (axis == kAxisB) {
        b_ = coefficients;
        bCrossLinear_ = crossLinear;
        bCrossQuadratic_ = crossQuadratic;
    }
}

int CalFitWorkspace::Compute(DeviceRecord& record, int axis, bool negate) {
    lastError_.clear();
    if (!ValidAxis(axis) || n_ < 1 || n_ > NominalAngles(tiltRange_).count) {
        lastError_ = "the number of positions does not suit the tilt range";
        return kFitBadInput;
    }
    load(record);
    // Both axes' regression pairs: the two sweeps one after the other.
    for (int k = 0; k < n_; ++k) {
        aPairX_[k] = aFirstMain_[k];
        aPairX_[n_ + k] = aReturnMain_[k];
        aPairY_[k] = aFirstCompanion_[k];
        aPairY_[n_ + k] = aReturnCompanion_[k];
        bPairX_[k] = bFirstMain_[k];
        bPairX_[n_ + k] = bReturnMain_[k];
        bPairY_[k] = bFirstCompanion_[k];
        bPairY_[n_ + k] = bReturnCompanion_[k];
    }
    if (!readingsFinite(axis)) {
        lastError_ = "a reading is not a number";
        return kFitBadInput;
    }
    double linear = 0.0, quadratic = 0.0;
    const bool isA = axis == kAxisA;
    if (!crossRegression(isA ? aPairX_ : bPairX_, isA ? aPairY_ : bPairY_, linear, quadratic)) {
        lastError_ = "fewer than three different readings";
        return isA ? kFitCrossDegenerateA : kFitCrossDegenerateB;
    }

    averageSweeps();
    if (!fitPolynomial(axis, negate)) return kFitNumericFailure;
    (isA ? aCrossLinear_ : bCrossLinear_) = linear;
    (isA ? aCrossQuadratic_ : bCrossQuadratic_) = quadratic;

    record.a = a_;
    record.b = b_;
    record.aCrossLinear = aCrossLinear_;
    record.aCrossQuadratic = aCrossQuadratic_;
    record.bCrossLinear = bCrossLinear_;
    record.bCrossQuadratic = bCrossQuadratic_;
    record.constantsFromFile = false;
    return kFitOk;
}

bool CalFitWorkspace::readingsFinite(int axis) const {
    const Pairs& x = axis == kAxisA ? aPairX_ : bPairX_;
    const Pairs& y = axis == kAxisA ? aPairY_ : bPairY_;
    for (int i = 0; i < 2 * n_; ++i)
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) return false;
    return true;
}

// Least-squares parabola Y = p + b*X + c*X^2 through the 2n pairs; false when
// the abscissas take fewer than three distinct values.
bool CalFitWorkspace::crossRegression(const Pairs& x, const Pairs& y, double& linear,
                                      double& quadratic) const {
    const int count = 2 * n_;
    const double N = count;
    double sx = 0, sy = 0, sxx = 0, sxy = 0, sxxy = 0, sxxx = 0, sxxxx = 0;
    for (int i = 0; i < count; ++i) {
        const double X = x[i], Y = y[i];
        sx += X;
        sy += Y;
        sxx += X * X;
        sxy += X * Y;
        sxxy += X * X * Y;
        sxxx += X * X * X;
        sxxxx += X * X * X * X;
    }
    const double r = 1.0 / N;
    const double mx = r * sx, my = r * sy, mq = r * sxx;
    const double cxy = sxy - (N * my) * mx;
    const double cx2y = sxxy - (N * mq) * my;
    const double cxx = sxx - (N * mx) * mx;
    const double cxx2 = sxxx - (N * mq) * mx;
    const double cx2x2 = sxxxx - (N * mq) * mq;
    const double d = cx2x2 * cxx - cxx2 * cxx2;
    if (d == 0.0) return false;
    quadratic = (cxx * cx2y - cxx2 * cxy) * (1.0 / d);
    linear = (cx2x2 * cxy - cxx2 * cx2y) * (1.0 / d);
    return true;
}

void CalFitWorkspace::averageSweeps() {
    for (int k = 0; k < n_; ++k) {
        aMainAverage_[k] = (aReturnMain_[k] + aFirstMain_[k]) * 0.5;
        aCompanionAverage_[k] = (aReturnCompanion_[k] + aFirstCompanion_[k]) * 0.5;
        bCompanionAverage_[k] = (bReturnCompanion_[k] + bFirstCompanion_[k]) * 0.5;
        bMainAverage_[k] = (bReturnMain_[k] + bFirstMain_[k]) * 0.5;
    }
}

bool CalFitWorkspace::fitPolynomial(int axis, bool negate) {
    const NominalAngleTable angles = NominalAngles(tiltRange_);
    const Positions& average = axis == kAxisA ? aMainAverage_ : bMainAverage_;
    try {
        Vector1 x(n_), y(n_), sigma(n_), a(kTerms);
        IntVector1 fitFlags(kTerms);
        Matrix1 covariance(kTerms, kTerms);
        for (int k = 0; k < n_; ++k) {
            x[k + 1] = average[k];
            y[k + 1] = std::sin(angles.degrees[k] * kRadiansPerDegree);
            sigma[k + 1] = 1.0;
        }
        for (int j = 1; j <= kTerms; ++j) {
            fitFlags[j] = 1;
            a[j] = 0.0;
        }
        double chiSquare = 0.0;
        FitLinearLeastSquares(x, y, sigma, n_, a, fitFlags, kTerms, covariance, chiSquare,
                              PolynomialBasis);
        Coefficients& out = axis == kAxisA ? a_ : b_;
        for (int j = 0; j < kTerms; ++j) out[j] = negate ? -a[j + 1] : a[j + 1];
        return true;
    } catch (const NumericFailure& failure) {
        lastError_ = failure.what();
        return false;
    }
}

double CalFitWorkspace::EvaluatePolynomial(int axis, double x) const {
    if (!ValidAxis(axis)) return x;
    const Coefficients& c = axis == kAxisA ? a_ : b_;
    const double x2 = x * x;
    const double x3 = x2 * x;
    const double x4 = x3 * x;
    const double x5 = x4 * x;
    return c[5] * x5 + c[4] * x4 + c[3] * x3 + c[2] * x2 + c[1] * x + c[0];
}

double CalFitWorkspace::CalibratedMain(int axis, int sweep, int k) const {
    if (!ValidAxis(axis) || k < 0 || k >= kMaxPositions) return -1.0;
    const bool first = sweep == kFirstSweep;
    const double reading = axis == kAxisA ? (first ? aFirstMain_[k] : aReturnMain_[k])
                                          : (first ? bFirstMain_[k] : bReturnMain_[k]);
    return EvaluatePolynomial(axis, reading);
}

double CalFitWorkspace::CalibratedCompanion(int axis, int sweep, int k) const {
    if (!ValidAxis(axis)) return -1.0;
    const bool first = sweep == kFirstSweep;
    const int slot = first ? k : n_ - 1 - k;
    if (slot < 0 || slot >= kMaxPositions) return -1.0;
    // During an axis A run the companion is a B reading, and the reverse.
    if (axis == kAxisA)
        return EvaluatePolynomial(kAxisB, first ? aFirstCompanion_[slot] : aReturnCompanion_[slot]);
    return EvaluatePolynomial(kAxisA, first ? bFirstCompanion_[slot] : bReturnCompanion_[slot]);
}

}  // namespace clinora::calib
