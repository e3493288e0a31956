#include "number_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace clinora {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

// Skips the blanks and a '+' in front of a number, as "%d" and "%Lf" do
// (from_chars takes no '+'); false for "+-".
bool NumberStart(std::string_view& text) {
    text = SkipBlanks(text);
    if (text.empty() || text[0] != '+') return true;
    text.remove_prefix(1);
    return text.empty() || text[0] != '-';
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

std::string FormatGeneral(double value, int precision) {
    return ToChars(value, std::chars_format::general, precision);
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

std::string Printf(const char* format, ...) {
    // The "C" locale for this thread only, for the length of the call: the
    // process locale may be one with a decimal comma.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t{};
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    char small[128];
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    if (cLocale) uselocale(previous);
    return text;
}

bool TryParseLeadingDouble(std::string_view text, double& value) {
    if (!NumberStart(text)) return false;
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
    if (!NumberStart(text)) return fallback;
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} ? value : fallback;
}

int64_t ParseLeadingIntSaturated(std::string_view text) {
    text = SkipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    constexpr int64_t kCap = 1'000'000'000'000;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = std::min(kCap, value * 10 + (c - '0'));
    }
    return negative ? -value : value;
}

std::optional<double> ParseWholeDouble(std::string_view text) {
    // One optional sign, then a digit or the decimal point: from_chars alone
    // would also take "inf", "nan" and a second sign after '+'.
    std::string_view digits = text;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
    if (digits.empty() ||
        !(std::isdigit(static_cast<unsigned char>(digits[0])) || digits[0] == '.'))
        return std::nullopt;
    if (text[0] == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool FitsFloat(double value) { return std::fabs(value) <= FLT_MAX; }

std::string_view TrimBlanks(std::string_view text) {
    text = SkipBlanks(text);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<int> ParseWholeInt(std::string_view text) {
    // from_chars takes a '-' but no '+'; "+-1" is no number either.
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    }
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace clinora
