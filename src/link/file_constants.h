#pragma once

#include <string>

namespace clinora {

// How a calibration data file prints a constant: "%.6e", seven significant
// digits ("1.234568e-02").
std::string FormatFileConstant(double value);

// Whether a board holding `board` holds the constant a calibration data file
// prints as FormatFileConstant(file). It does when `board` is the
// single-precision value of a number the file prints that way: the file's own
// number (what an upload of the file sends), or the fit whose rounding the
// file printed (what sending that fit sent). A file changed in its last
// printed digit stands for other numbers and does not match.
bool MatchesFileConstant(float board, double file);

}  // namespace clinora
