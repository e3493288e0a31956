#include "calib/fit_residuals.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "calib/nominal_angles.h"
#include "link/number_text.h"

namespace clinora::calib {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kNoLimit = std::numeric_limits<double>::quiet_NaN();

// The angle whose sine `value` is, in degrees; NaN beyond +-1.
double Degrees(double sine) {
    return std::fabs(sine) <= 1.0 ? std::asin(sine) * kDegreesPerRadian : kNoLimit;
}

// The workspace's constants as a board holds them: single precision.
CalFitWorkspace RoundedToSingle(const CalFitWorkspace& workspace) {
    CalFitWorkspace rounded = workspace;
    for (int axis : {kAxisA, kAxisB}) {
        Coefficients c = workspace.coefficientsOf(axis);
        for (double& v : c) v = static_cast<float>(v);
        rounded.setConstants(axis, c, static_cast<float>(workspace.crossLinear(axis)),
                             static_cast<float>(workspace.crossQuadratic(axis)));
    }
    return rounded;
}

double Largest(const CalFitWorkspace& workspace, int axis, const std::vector<double>& targets) {
    double largest = 0;
    for (int sweep : {kFirstSweep, kReturnSweep}) {
        for (size_t k = 0; k < targets.size(); ++k) {
            const double r =
                Degrees(workspace.CalibratedMain(axis, sweep, static_cast<int>(k))) - targets[k];
            largest = std::max(largest, std::isfinite(r) ? std::fabs(r) : INFINITY);
        }
    }
    return largest;
}

}  // namespace

FitResiduals ComputeFitResiduals(const CalFitWorkspace& workspace, int axis, bool negate,
                                 const std::vector<PromptRow>& rows) {
    FitResiduals out;
    const int n = workspace.positionCount();
    const NominalAngleTable angles = NominalAngles(workspace.tiltRange());
    // A negated fit turns the readings' sign: its calibrated values aim at -angle.
    std::vector<double> targets;
    for (int k = 0; k < n; ++k) targets.push_back((negate ? -1 : 1) * angles.degrees[k]);

    for (int sweep : {kFirstSweep, kReturnSweep}) {
        auto& points = sweep == kFirstSweep ? out.firstSweep : out.returnSweep;
        for (int k = 0; k < n; ++k) {
            const double target = targets[static_cast<size_t>(k)];
            ResidualPoint p{target, Degrees(workspace.CalibratedMain(axis, sweep, k)) - target,
                            kNoLimit, kNoLimit};
            // Slot k of the first sweep was prompted by row 2n-1-k, of the return sweep by row k.
            const size_t row = static_cast<size_t>(sweep == kFirstSweep ? 2 * n - 1 - k : k);
            if (row < rows.size()) {
                const PromptRow& r = rows[row];
                const double low = axis == kAxisA ? r.aTestLow : r.bTestLow;
                const double high = axis == kAxisA ? r.aTestHigh : r.bTestHigh;
                if (low < high) {
                    // The limits are about the positive angle; a negated fit mirrors them.
                    p.low = Degrees(negate ? -high : low) - target;
                    p.high = Degrees(negate ? -low : high) - target;
                }
            }
            points.push_back(p);
        }
    }
    out.largest = Largest(workspace, axis, targets);
    out.largestSingle = Largest(RoundedToSingle(workspace), axis, targets);
    return out;
}

std::string ResidualSummary(const std::string& address, const FitResiduals& residuals) {
    return address + ": largest residual " + FormatFixed(residuals.largest, 4) + "\u00b0; " +
           FormatFixed(residuals.largestSingle, 4) +
           "\u00b0 with single-precision constants (rounding adds " +
           FormatScientific(residuals.largestSingle - residuals.largest, 1) + "\u00b0)";
}

}  // namespace clinora::calib
