#pragma once

#include <array>
#include <string>

#include "calib/cal_fit_workspace.h"
#include "calib/nominal_angles.h"
#include "link/device_record.h"
#include "link/local_time.h"

namespace clinora::calib {

// What the report part of a calibration data or test file shows for one face
// (axis) of the board.
struct ReportFace {
    std::array<double, kMaxPositions> swingRight{}, swingLeft{};
    bool withMean = true;          // otherwise the mean column is 0.0
    bool withError = false;        // otherwise the error column is 0.0
    double crossAngle = 0.0;       // degrees
    double calibratedCross = 0.0;  // degrees
    Coefficients coefficients{};
    double crossLinear = 0.0, crossQuadratic = 0.0;
};

// The whole text of a calibration data or test file for `axis`, CR LF lines.
std::string RenderCalibrationFile(const DeviceRecord& record, int axis, int positions,
                                  const NominalAngleTable& angles,
                                  const std::array<ReportFace, 2>& faces, const LocalDateTime& now);

// Cross-axis angle in degrees from a cross linear term, with the files' own
// value of pi.
double CrossAngleDegrees(double crossLinear);

}  // namespace clinora::calib
