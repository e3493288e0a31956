#include "app/cal_setup_rules.h"

#include <cfloat>
#include <cmath>
#include <optional>

#include "link/number_text.h"

namespace clinora {
namespace {

// Blanks around a typed entry do not count.
std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A number that a float holds without becoming infinite.
std::optional<float> ParseFloat(std::string_view text) {
    const std::optional<double> value = ParseWholeDouble(Trimmed(text));
    if (!value || std::fabs(*value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(*value);
}

}  // namespace

int DigitItemForDecimals(int decimals) { return decimals >= 0 && decimals < 6 ? decimals : 1; }

int SoundItemForIndex(int index, int count) { return index >= 0 && index < count ? index : 0; }

std::string FormatTolerance(float value) { return FormatGeneral(value, 6); }

SetupEntries CheckSetupEntries(std::string_view averageNum, std::string_view calTolerance,
                               std::string_view calTestTolerance) {
    SetupEntries result;
    const std::optional<int> average = ParseWholeInt(Trimmed(averageNum));
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
