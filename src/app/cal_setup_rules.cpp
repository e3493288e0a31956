#include "app/cal_setup_rules.h"

#include <optional>

#include "link/number_text.h"

namespace clinora {
namespace {

// Blanks around a typed entry do not count.
std::optional<float> ParseFloat(std::string_view text) { return ParseWholeFloat(TrimBlanks(text)); }

}  // namespace

int DigitItemForDecimals(int decimals) { return decimals >= 0 && decimals < 6 ? decimals : 1; }

int SoundItemForIndex(int index, int count) { return index >= 0 && index < count ? index : 0; }

std::string FormatTolerance(float value) { return FormatGeneral(value, 6); }

SetupEntries CheckSetupEntries(std::string_view averageNum, std::string_view calTolerance,
                               std::string_view calTestTolerance) {
    SetupEntries result;
    const std::optional<int> average = ParseWholeInt(TrimBlanks(averageNum));
    if (!average || *average < kAverageNumTypedMin || *average > kAverageNumMax) {
        result.refused = SetupEntries::kAverageNum;
        result.message = kAverageNumRefused;
        return result;
    }
    result.averageNum = *average;
    const std::optional<float> cal = ParseFloat(calTolerance);
    if (!cal) {
        result.refused = SetupEntries::kCalTolerance;
        result.message = kToleranceRefused;
        return result;
    }
    result.calTolerance = *cal;
    const std::optional<float> calTest = ParseFloat(calTestTolerance);
    if (!calTest) {
        result.refused = SetupEntries::kCalTestTolerance;
        result.message = kToleranceRefused;
        return result;
    }
    result.calTestTolerance = *calTest;
    return result;
}

}  // namespace clinora
