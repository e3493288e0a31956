#pragma once

#include <optional>
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

// What a file's name says it holds, for names made like the program makes
// them ("00101_CAL_DATA_AXIS_A_05-01-23.csv"): the board's address number and
// the axis selector. Nothing for a name of another form.
struct FileNameClaim {
    std::optional<int> board;
    std::optional<int> axis;
};
FileNameClaim ClaimOfFileName(const std::string& path);

// The eight constants of the axis (1 = A, 0 = B) are all zero: the file holds
// no calibration for it, and writing them would wipe the board's.
bool AxisConstantsAllZero(const DeviceRecord& record, int axisSelector);

// Why the constants of the file at `path`, read into `record`, must not go to
// the board at `address` as axis `axisSelector` (or both axes); empty when
// they may. `force` lets a file named for another board through, never one
// named for the other axis.
std::string ConstantsFileRefusal(const std::string& path, const DeviceRecord& record,
                                 int axisSelector, bool biaxial, const std::string& address,
                                 bool force);

}  // namespace clinora
