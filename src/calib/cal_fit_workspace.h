#pragma once

#include <array>
#include <string>

#include "link/device_record.h"

namespace clinora::calib {

inline constexpr int kAxisA = 0;
inline constexpr int kAxisB = 1;
inline constexpr int kFirstSweep = 0;
inline constexpr int kReturnSweep = 1;

// Results of CalFitWorkspace::Compute.
inline constexpr int kFitOk = 0;
inline constexpr int kFitCrossDegenerateA = 2;  // fewer than three distinct A readings
inline constexpr int kFitCrossDegenerateB = 3;
inline constexpr int kFitNumericFailure = 4;  // singular normal matrix; see lastError()
inline constexpr int kFitBadInput = 5;        // bad axis, position count or a reading not finite

using Coefficients = std::array<double, 6>;  // constant term first

// The fit of one calibration run: pairs the two sweeps, measures the cross-axis
// terms and fits a fifth-degree polynomial from the averaged reading to the sine
// of the nominal angle. One workspace serves all boards of a run in turn.
class CalFitWorkspace {
public:
    // Starts a run of `positions` positions per sweep (clamped to 0..kMaxPositions)
    // and clears constants and readings.
    void Reset(int positions, double tiltRange);

    // Fits `axis` of `record` and copies both axes' constants into it. On any
    // result but kFitOk the record is left as it was.
    int Compute(DeviceRecord& record, int axis, bool negate);

    // Calibrated value of the main reading at slot k of a sweep; -1.0 for a bad axis.
    double CalibratedMain(int axis, int sweep, int k) const;
    // The companion reading of an axis run through the other axis's polynomial;
    // the return sweep is read from slot n-1-k. -1.0 for a bad axis.
    double CalibratedCompanion(int axis, int sweep, int k) const;
    // The axis's polynomial at x; x itself for an axis other than A or B.
    double EvaluatePolynomial(int axis, double x) const;

    // Copies the eight position arrays of a run from the record (the first step
    // of Compute).
    void load(const DeviceRecord& record);
    // Installs constants directly (e.g. to evaluate a record's stored calibration).
    void setConstants(int axis, const Coefficients& coefficients, double crossLinear,
                      double crossQuadratic);

    int positionCount() const { return n_; }
    double tiltRange() const { return tiltRange_; }
    const Coefficients& coefficientsOf(int axis) const { return axis == kAxisA ? a_ : b_; }
    double crossLinear(int axis) const { return axis == kAxisA ? aCrossLinear_ : bCrossLinear_; }
    double crossQuadratic(int axis) const {
        return axis == kAxisA ? aCrossQuadratic_ : bCrossQuadratic_;
    }
    // Why the last Compute failed, in words; empty after a fit.
    const std::string& lastError() const { return lastError_; }

private:
    using Positions = std::array<double, kMaxPositions>;
    using Pairs = std::array<double, 2 * kMaxPositions>;

    bool crossRegression(const Pairs& x, const Pairs& y, double& linear, double& quadratic) const;
    void averageSweeps();
    bool fitPolynomial(int axis, bool negate);
    bool readingsFinite(int axis) const;

    Coefficients a_{}, b_{};
    double aCrossQuadratic_ = 0, aCrossLinear_ = 0, bCrossQuadratic_ = 0, bCrossLinear_ = 0;
    Pairs aPairX_{}, aPairY_{}, bPairX_{}, bPairY_{};
    Positions aFirstMain_{}, aFirstCompanion_{}, aReturnMain_{}, aReturnCompanion_{};
    Positions bFirstCompanion_{}, bFirstMain_{}, bReturnCompanion_{}, bReturnMain_{};
    Positions aMainAverage_{}, aCompanionAverage_{}, bCompanionAverage_{}, bMainAverage_{};
    int n_ = 0;
    double tiltRange_ = 15.0;
    std::string lastError_;
};

}  // namespace clinora::calib
