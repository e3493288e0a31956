#pragma once

#include <array>

#include "link/device_record.h"

namespace clinora::calib {

// The fixture angles of one tilt range, highest first (slot 0 is the first
// position of the first sweep).
struct NominalAngleTable {
    std::array<double, kMaxPositions> degrees{};
    int count = 0;
};

// Table for the "TiltRange" setting; a range without its own table uses the
// 15 degree table. The comparison is exact.
NominalAngleTable NominalAngles(double tiltRange);

}  // namespace clinora::calib
