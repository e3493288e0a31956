#include "board_config.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace clinora::sim {

namespace {

// A value in [-1, 1) that depends only on the generator's output, so the
// same seed gives the same board with every standard library.
double Spread(std::mt19937& gen) { return static_cast<double>(gen()) / 2147483648.0 - 1.0; }

double Clamp(double v, double bound) {
    if (!std::isfinite(v)) return 0.0;
    return std::fmax(-bound, std::fmin(bound, v));
}

AxisProfile ClampProfile(AxisProfile p) {
    p.offset = Clamp(p.offset, kMaxOffsetVolts);
    p.gain = 1.0 + Clamp(p.gain - 1.0, kMaxGainError);
    p.drift = Clamp(p.drift, kMaxDriftVoltsPerC);
    return p;
}

}  // namespace

AxisProfile VariedProfile(uint32_t seed) {
    std::mt19937 gen(seed);
    constexpr double kUse = 0.9;  // stay a little inside the bounds
    AxisProfile p;
    p.offset = kUse * kMaxOffsetVolts * Spread(gen);
    p.gain = 1.0 + kUse * kMaxGainError * Spread(gen);
    p.drift = kUse * kMaxDriftVoltsPerC * Spread(gen);
    return p;
}

BoardConfig VariedBoard(const std::string& address, uint32_t seed) {
    BoardConfig c;
    c.address = address;
    c.axisA = VariedProfile(seed * 2u + 1u);
    c.axisB = VariedProfile(seed * 2u + 2u);
    char serial[32];
    std::snprintf(serial, sizeof serial, "ZC-%06u", static_cast<unsigned>(seed % 1000000u));
    c.serial = serial;
    c.noiseSeed = seed;
    return c;
}

BoardConfig Sanitised(BoardConfig config) {
    bool digits = !config.address.empty() && config.address.size() <= 5;
    for (char ch : config.address) digits = digits && ch >= '0' && ch <= '9';
    // A board owns 1..65533 or the factory address, never the broadcast one.
    if (!digits || std::stoi(config.address) < 1 || std::stoi(config.address) > kFactoryAddress) {
        config.address = std::to_string(kFactoryAddress);
    }
    config.axisA = ClampProfile(config.axisA);
    config.axisB = ClampProfile(config.axisB);
    if (!std::isfinite(config.noiseVolts)) config.noiseVolts = 0.0;
    config.noiseVolts = std::fmax(0.0, std::fmin(kMaxNoiseVolts, config.noiseVolts));
    // The serial number travels inside a reply line: no control characters.
    std::string serial;
    for (char ch : config.serial) {
        if (static_cast<unsigned char>(ch) >= 32 && ch != 127) serial += ch;
    }
    config.serial = serial;
    if (!std::isfinite(config.firmware)) config.firmware = 0.0;
    if (!std::isfinite(config.revision)) config.revision = 0.0;
    return config;
}

}  // namespace clinora::sim
