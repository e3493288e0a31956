#pragma once

#include <string>
#include <string_view>

namespace clinora {

// What the Calibration Setup dialog shows for the stored settings and what it
// accepts when the user presses OK.

// Average Number: typed 0..30; its arrows step within 2..30.
inline constexpr int kAverageNumTypedMin = 0;
inline constexpr int kAverageNumArrowMin = 2;
inline constexpr int kAverageNumMax = 30;

inline constexpr const char* kAverageNumRefused = "Please enter an integer between 0 and 30.";
inline constexpr const char* kToleranceRefused = "Please enter a number.";

// The Digit # entry ("0".."5") for a stored number of decimals; "1" for any
// number it does not offer.
int DigitItemForDecimals(int decimals);
// The sound entry for a stored index among `count` entries; the first for an
// index it does not offer (nothing unselected is ever stored back).
int SoundItemForIndex(int index, int count);

// How a tolerance is shown in its edit: like "%.15g", every digit a stored
// value carries, so that OK without an edit takes back the same value.
std::string FormatTolerance(double value);

// The three typed entries, checked in the order of the dialog. `refused`
// names the first entry refused (with its message); kNone: all accepted
// and the values hold them.
struct SetupEntries {
    enum Field { kNone, kAverageNum, kCalTolerance, kCalTestTolerance };
    Field refused = kNone;
    std::string message;
    int averageNum = 0;
    double calTolerance = 0, calTestTolerance = 0;
};
SetupEntries CheckSetupEntries(std::string_view averageNum, std::string_view calTolerance,
                               std::string_view calTestTolerance);

}  // namespace clinora
