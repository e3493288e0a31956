#pragma once

#include <array>
#include <optional>
#include <vector>

#include "transfer.h"

namespace clinora::sim {

// Coefficients c0..c5 of c0 + c1 x + ... + c5 x^5, constant term first.
using Quintic = std::array<double, 6>;

// Least-squares quintic through the points (x[i], y[i]). Nothing when there
// are fewer than six distinct abscissas or the sizes differ.
std::optional<Quintic> FitQuintic(const std::vector<double>& x, const std::vector<double>& y);

double EvaluateQuintic(const Quintic& c, double x);

// The constants a board leaves the factory with: the sine of the tilt as a
// quintic in the volts of an axis with profile `p` at 25 C, over +-90 degrees.
Quintic FactoryPolynomial(const AxisProfile& p);

}  // namespace clinora::sim
