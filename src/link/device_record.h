#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clinora {

// Positions per sweep that a record can hold (the 90 degree table has 13 angles).
inline constexpr int kMaxPositions = 13;
// Boards in one calibration set.
inline constexpr int kMaxBoards = 6;

using PositionArray = std::array<double, kMaxPositions>;

// One board of a calibration set: its constants and the readings of a run.
struct DeviceRecord {
    int32_t addressNumber = 0;
    int64_t calibrationTime = 0;  // seconds since 1970
    std::array<double, 6> a{};    // A0..A5, constant term first
    std::array<double, 6> b{};    // B0..B5
    double aCrossLinear = 0, aCrossQuadratic = 0;
    double bCrossLinear = 0, bCrossQuadratic = 0;
    // Readings of a calibration run. Axis A arrays list main before companion,
    // axis B arrays companion before main.
    PositionArray aFirstMain{}, aFirstCompanion{}, aReturnMain{}, aReturnCompanion{};
    PositionArray bFirstCompanion{}, bFirstMain{}, bReturnCompanion{}, bReturnMain{};
    std::vector<std::string> labels;  // prompt texts of accepted positions
    // The constants were read from a calibration data file, which prints them
    // with seven significant digits: a verify compares the board's values with
    // what the file's texts stand for (MatchesFileConstant), not bit for bit.
    bool constantsFromFile = false;
    std::string spare;
    std::string status;  // " ", "----File", "----Cal", "----Cal Test"
};

}  // namespace clinora
