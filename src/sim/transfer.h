#pragma once

#include <cmath>

namespace clinora::sim {

// How a simulated board turns fixture tilt into volts on one axis:
//   s = sin(tilt), u = s + kSquare*s^2 + kCube*s^3
//   volts = kCentreVolts + offset + kSpanVolts * gain * u + drift * (temp - 25) + noise
// The shipped prompt files take their targets and limits from this transfer,
// so every board whose profile lies inside the bounds below reads inside them.
inline constexpr double kCentreVolts = 2.5;
inline constexpr double kSpanVolts = 2.0;  // volts per unit of sine
inline constexpr double kSquare = 0.01;
inline constexpr double kCube = -0.02;

// Bounds of the per-board variation.
inline constexpr double kMaxOffsetVolts = 0.01;       // |offset|
inline constexpr double kMaxGainError = 0.01;         // |gain - 1|
inline constexpr double kMaxDriftVoltsPerC = 0.0002;  // |drift|
inline constexpr double kMaxNoiseVolts = 0.0005;      // |noise| of one reading
// Fixture temperatures the simulated boards are meant to be used at.
inline constexpr double kMinTempC = 15.0, kMaxTempC = 35.0;

inline constexpr double kPi = 3.14159265358979323846;

struct AxisProfile {
    double offset = 0.0;  // volts
    double gain = 1.0;
    double drift = 0.0;  // volts per degree C away from 25 C
};

// Volts of one axis at `tiltDeg` and `tempC`, without noise.
inline double AxisVolts(const AxisProfile& p, double tiltDeg, double tempC) {
    const double s = std::sin(tiltDeg * kPi / 180.0);
    const double u = s + kSquare * s * s + kCube * s * s * s;
    return kCentreVolts + p.offset + kSpanVolts * p.gain * u + p.drift * (tempC - 25.0);
}

// The transfer of a board with no variation at 25 C.
inline double NominalVolts(double tiltDeg) { return AxisVolts(AxisProfile{}, tiltDeg, 25.0); }

}  // namespace clinora::sim
