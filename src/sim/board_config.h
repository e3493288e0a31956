#pragma once

#include <cstdint>
#include <string>

#include "transfer.h"

namespace clinora::sim {

inline constexpr int kBroadcastAddress = 65535;
inline constexpr int kFactoryAddress = 65534;
inline constexpr int kBoardBaud = 115200;  // the rate boards listen at

// What makes one simulated board differ from the next.
struct BoardConfig {
    std::string address = "65534";  // decimal; the factory address by default
    AxisProfile axisA;
    AxisProfile axisB;
    std::string serial = "ZC-000000";
    double firmware = 1.5;
    double revision = 2.0;
    bool tunnelProfile = false;  // a "mm" board: axis B reads in millimetres
    uint32_t noiseSeed = 1;
    double noiseVolts = kMaxNoiseVolts;  // amplitude of the reading noise
    // False for a board that has never been calibrated: its constants are
    // zero, so it reads 0 in calibrated units whatever the tilt.
    bool factoryFitted = true;
};

// Same seed, same profile: offset, gain and drift spread over most of the
// bounds of the transfer.
AxisProfile VariedProfile(uint32_t seed);

// A board at `address` whose profiles, serial number and noise follow from `seed`.
BoardConfig VariedBoard(const std::string& address, uint32_t seed);

// The config with every value brought inside its bounds (an unusable address
// becomes the factory address).
BoardConfig Sanitised(BoardConfig config);

}  // namespace clinora::sim
