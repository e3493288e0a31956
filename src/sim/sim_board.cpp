#include "sim_board.h"

#include <cmath>

#include "link/number_text.h"

namespace clinora::sim {

namespace {

AxisConstants FactoryConstants(const AxisProfile& p, bool fitted) {
    AxisConstants c{};  // cross terms stay 0; a board never calibrated has only zeros
    if (!fitted) return c;
    const Quintic poly = FactoryPolynomial(p);
    for (size_t k = 0; k < poly.size(); ++k) c[k] = static_cast<float>(poly[k]);
    return c;
}

}  // namespace

BoardMemory FactoryMemory(const BoardConfig& config) {
    BoardMemory m;
    m.set(kTypeCell, config.tunnelProfile ? 'P' : 'E');
    m.set(kTypeCell + 1, 'M');
    const uint8_t settings[3] = {0x01, 0x01, 0x02};
    const uint8_t flags[3] = {1, 1, 0};
    const uint8_t fixed[4] = {1, 1, 3, 1};
    const uint8_t date[4] = {20, 24, 1, 15};
    for (int i = 0; i < 3; ++i) {
        m.set(kSensorSettingsCell + i, settings[i]);
        m.set(kAxisFlagsCell + i, flags[i]);
    }
    for (int i = 0; i < 4; ++i) {
        m.set(kFixedBytesCell + i, fixed[i]);
        m.set(kDateCell + i, date[i]);
    }
    m.setConstants(kConstantsCellA, kChecksumCellA,
                   FactoryConstants(config.axisA, config.factoryFitted));
    m.setConstants(kConstantsCellB, kChecksumCellB,
                   FactoryConstants(config.axisB, config.factoryFitted));
    return m;
}

SimBoard::SimBoard(const BoardConfig& config, int64_t nowMs)
    : config_(Sanitised(config)), noise_(config_.noiseSeed) {
    address_ = std::stoi(config_.address);
    memory_ = FactoryMemory(config_);
    powerUp(nowMs);
}

void SimBoard::powerUp(int64_t nowMs) {
    loadConstants();
    units_ = kUnitsSine;
    trigger_ = TriggerMode::Stopped;
    unlocked_ = false;
    readyAtMs_ = nowMs + kWarmUpMs;
}

void SimBoard::loadConstants() {
    loaded_[0] = memory_.constants(kConstantsCellA);
    loaded_[1] = memory_.constants(kConstantsCellB);
}

std::string SimBoard::banner() const {
    return Printf(
        config_.tunnelProfile ? "Tunnel Profile Monitor V%.2f" : "ZOV Instruments CLINORA V%.2f",
        config_.firmware);
}

double SimBoard::calibrated(int axis, double volts) const {
    const AxisConstants& c = loaded_[axis == 0 ? 0 : 1];
    Quintic poly{};
    for (size_t k = 0; k < poly.size(); ++k) poly[k] = c[k];
    return EvaluateQuintic(poly, volts);
}

double SimBoard::noise(double amplitude) {
    return amplitude * (static_cast<double>(noise_()) / 2147483648.0 - 1.0);
}

double SimBoard::volts(const AxisProfile& p, double tiltDeg, double tempC) {
    const double v = AxisVolts(p, tiltDeg, tempC) + noise(config_.noiseVolts);
    return std::fmax(0.0, std::fmin(kAdcFullScaleVolts, v));
}

std::string SimBoard::formatAxis(int axis, double v) const {
    switch (units_) {
        case kUnitsCounts:
            return std::to_string(std::lround(v / kAdcFullScaleVolts * kAdcMaxCount));
        case kUnitsVolts:
            return Printf("%.5f", v);
        default: {
            const double sine = calibrated(axis, v);
            // Constants written as garbage give no number; say so plainly.
            if (!std::isfinite(sine)) return "NAN";
            if (axis == 1 && config_.tunnelProfile) return Printf("%.2f", sine * kGaugeLengthMm);
            return Printf("%.6f", sine);
        }
    }
}

std::string SimBoard::reading(const std::string& command, const Fixture& f, int64_t nowMs) {
    const double temp = f.tempC + noise(0.01);
    std::string a = "NAN", b = "NAN";
    if (nowMs >= readyAtMs_) {
        a = formatAxis(0, volts(config_.axisA, f.tiltADeg, f.tempC));
        b = formatAxis(1, volts(config_.axisB, f.tiltBDeg, f.tempC));
    }
    return command + " " + a + "," + b + "," + Printf("%.2f", temp) + "\r\n";
}

}  // namespace clinora::sim
