#include "app/monitor_display.h"

namespace clinora {

std::vector<std::string> UnitEntries(bool calibrationMode) {
    if (calibrationMode) return {"Cal", "Volts", "Bits"};
    return {"Sine", "Degrees"};
}

UnitChoice UnitForEntry(bool calibrationMode, int entry) {
    UnitChoice choice;
    if (calibrationMode) {
        switch (entry) {
            case 0:
                choice.readingType = kReadingCalibrated;
                choice.label = "Cal";
                break;
            case 1:
                choice.readingType = kReadingVolts;
                choice.label = "V";
                break;
            case 2:
                choice.readingType = kReadingRawBits;
                choice.label = "Bit";
                break;
            default:
                choice.readingType = kReadingCalibrated;
                choice.label = " ";
                break;
        }
        return choice;
    }
    choice.degreesFlag = entry == 1 ? 1 : 0;
    choice.label = entry == 0 ? "Sin" : entry == 1 ? "Deg" : " ";
    return choice;
}

UnitActivation UnitsOnActivation(bool calibrationMode, int degreesFlag) {
    if (calibrationMode) return {kReadingVolts, 1, "V"};
    if (degreesFlag == 0) return {kReadingCalibrated, 0, "Sin"};
    if (degreesFlag == 1) return {kReadingCalibrated, 1, "Deg"};
    return {kReadingCalibrated, 0, " "};
}

std::string TiltLabel(const std::string& unit, bool axisA, const std::string& deviceUnits) {
    return !axisA && deviceUnits == "mm" ? "mm" : unit;
}

void MonitorReadout::reset() {
    axisA_ = kNoTilt;
    axisB_ = kNoTilt;
    temperature_ = kNoTemperature;
}

MonitorReadout::Change MonitorReadout::take(const std::string& axisA, const std::string& axisB,
                                            const std::string& temperature) {
    Change change;
    if (axisA != axisA_) {
        axisA_ = axisA;
        change.tilt = true;
    }
    if (axisB != axisB_) {
        axisB_ = axisB;
        change.tilt = true;
    }
    if (temperature != temperature_) {
        temperature_ = temperature;
        change.temperature = true;
    }
    return change;
}

}  // namespace clinora
