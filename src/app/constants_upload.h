#pragma once

#include <string>

#include "link/device_record.h"

namespace clinora {

// What a calibration data file's constants must pass before they go to a board.
inline constexpr const char* kFileReadErrorText = "File read error";
inline constexpr const char* kBiaxialDataMissingText =
    "Biaxial board enabled and \nB Axis Calibration data missing\nfor this board.\nCannot upload.";

// For a biaxial upload the B block must hold a calibration: B0, B2, B3 and B4
// all zero mean that it was never filled (the reader leaves B1 at 1).
bool BiaxialDataMissing(const DeviceRecord& record);

// The axis selector (1 = A, 0 = B) of a calibration data file by its name:
// "..._AXIS_B_..." is an axis B file, anything else axis A.
int AxisSelectorOfFile(const std::string& path);

}  // namespace clinora
