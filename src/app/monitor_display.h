#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clinora {

// Reading types ("MonitorUnits"): what the boards are asked to report.
inline constexpr int kReadingRawBits = 0;
inline constexpr int kReadingVolts = 1;
inline constexpr int kReadingCalibrated = 2;

// The Monitor page's unit selector. In calibration mode its entries choose
// the reading type; otherwise they choose how a calibrated reading is shown
// (the degrees flag, "MonitorUnitsUser").
std::vector<std::string> UnitEntries(bool calibrationMode);

// What one selector entry stands for. Exactly one of the two values is set:
// the reading type in calibration mode, the degrees flag otherwise. An entry
// outside the list (no selection) gives the calibrated type or sine, with
// the blank label.
struct UnitChoice {
    std::optional<int> readingType;
    std::optional<int> degreesFlag;
    std::string label;  // units label and log unit text
};
UnitChoice UnitForEntry(bool calibrationMode, int entry);

// The selector as every activation sets it up: volts in calibration mode,
// whatever was chosen before; otherwise calibrated readings as sine or
// degrees by the degrees flag (any other flag value selects the first entry
// with the blank label).
struct UnitActivation {
    int readingType = kReadingCalibrated;
    int entry = 0;
    std::string label;
};
UnitActivation UnitsOnActivation(bool calibrationMode, int degreesFlag);

// The label beside the tilt read-out: millimetres for axis B of a board that
// reports that axis in millimetres, else the selected unit.
std::string TiltLabel(const std::string& unit, bool axisA, const std::string& deviceUnits);

// The texts the Monitor page shows last, and which of them a new reading changes.
class MonitorReadout {
public:
    static constexpr const char* kNoTilt = "--.--";
    static constexpr const char* kNoTemperature = "--";

    struct Change {
        bool tilt = false;
        bool temperature = false;
    };

    void reset();
    // Takes each text that differs from the one shown.
    Change take(const std::string& axisA, const std::string& axisB, const std::string& temperature);

    const std::string& axisA() const { return axisA_; }
    const std::string& axisB() const { return axisB_; }
    const std::string& temperature() const { return temperature_; }
    const std::string& tilt(bool axisA) const { return axisA ? axisA_ : axisB_; }

private:
    std::string axisA_ = kNoTilt;
    std::string axisB_ = kNoTilt;
    std::string temperature_ = kNoTemperature;
};

}  // namespace clinora
