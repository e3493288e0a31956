#include "app/cal_setup_rules.h"

#include <optional>

#include "link/number_text.h"

namespace clinora {
namespace {

// Blanks around a typed entry do not count; a tolerance must be a number of
// reasonable size.
std::optional<double> ParseTolerance(std::string_view text) {
    const std::optional<double> value = ParseWholeDouble(TrimBlanks(text));
    if (!value || !FitsFloat(*value)) return std::nullopt;
    return value;
}

}  // namespace

int DigitItemForDecimals(int decimals) { return decimals >= 0 && decimals < 6 ? decimals : 1; }

int SoundItemForIndex(int index, int count) { return index >= 0 && index < count ? index : 0; }

std::string FormatTolerance(double value) { return FormatGeneral(value, 15); }

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
    const std::optional<double> cal = ParseTolerance(calTolerance);
    if (!cal) {
        result.refused = SetupEntries::kCalTolerance;
        result.message = kToleranceRefused;
        return result;
    }
    result.calTolerance = *cal;
    const std::optional<double> calTest = ParseTolerance(calTestTolerance);
    if (!calTest) {
        result.refused = SetupEntries::kCalTestTolerance;
        result.message = kToleranceRefused;
        return result;
    }
    result.calTestTolerance = *calTest;
    return result;
}

}  // namespace clinora
