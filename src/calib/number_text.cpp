#include "calib/number_text.h"

#include <array>
#include <charconv>

namespace clinora::calib {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

std::string ToChars(double value, std::chars_format format, int precision) {
    std::array<char, 400> buffer{};  // fits any double with up to ~60 decimals
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    if (result.ec != std::errc{}) return "nan";
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string FormatFixed(double value, int precision, bool spaceSign) {
    std::string text = ToChars(value, std::chars_format::fixed, precision);
    if (spaceSign && !text.empty() && text[0] != '-') text.insert(text.begin(), ' ');
    return text;
}

std::string FormatScientific(double value, int precision) {
    return ToChars(value, std::chars_format::scientific, precision);
}

std::string FormatInt(long long value, int minDigits) {
    const bool negative = value < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                  : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

bool TryParseLeadingDouble(std::string_view text, double& value) {
    text = SkipBlanks(text);
    // from_chars takes no '+' sign; "%Lf" does.
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') return false;
    }
    double parsed = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    // Not a number, or beyond the range of a double.
    if (result.ec != std::errc{}) return false;
    value = parsed;
    return true;
}

double ParseLeadingDouble(std::string_view text, double fallback) {
    double value = fallback;
    TryParseLeadingDouble(text, value);
    return value;
}

int ParseLeadingInt(std::string_view text, int fallback) {
    text = SkipBlanks(text);
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text[0] == '-') return fallback;
    }
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} ? value : fallback;
}

}  // namespace clinora::calib
