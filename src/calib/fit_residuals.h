#pragma once

#include <string>
#include <vector>

#include "calib/cal_fit_workspace.h"
#include "calib/prompt_file.h"

namespace clinora::calib {

// One prompted angle of a sweep after the fit, in degrees: the angle, how far
// the calibrated reading lies from it, and the row's test limits as the same
// kind of distance (NaN when the row has none).
struct ResidualPoint {
    double angle = 0;
    double residual = 0;
    double low = 0, high = 0;
};

// The fit of one board seen through its residuals.
struct FitResiduals {
    std::vector<ResidualPoint> firstSweep, returnSweep;  // slot order, highest angle first
    double largest = 0;        // largest |residual| of both sweeps
    double largestSingle = 0;  // the same with the constants rounded to single precision
};

// Residuals of `axis` of the fit just computed in `workspace`. `rows` are the
// prompt rows of the run (two sweeps of workspace.positionCount() rows, the
// first sweep's rows last); `negate` is the sign the fit was made with.
FitResiduals ComputeFitResiduals(const CalFitWorkspace& workspace, int axis, bool negate,
                                 const std::vector<PromptRow>& rows);

// "101: largest residual 0.0123°, 0.0124° with single-precision constants"
std::string ResidualSummary(const std::string& address, const FitResiduals& residuals);

}  // namespace clinora::calib
