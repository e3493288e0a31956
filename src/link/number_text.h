#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace clinora {

// The program's one place for number texts: files, replies, typed entries.
// They never depend on the process locale (a GUI may switch LC_NUMERIC to one
// with a decimal comma).

// Like "%.<precision>f"; with spaceSign like "% .<precision>f".
std::string FormatFixed(double value, int precision, bool spaceSign = false);
// Like "%.<precision>e".
std::string FormatScientific(double value, int precision);
// Like "%.<precision>g": the shorter of fixed and scientific, no trailing zeros.
std::string FormatGeneral(double value, int precision);
// Like "%.<minDigits>d": at least minDigits digits, zeros in front.
std::string FormatInt(long long value, int minDigits = 1);
// printf-style formatting into a string, with the "C" locale's decimal point
// whatever the process locale; the compiler checks the arguments against the
// format.
[[gnu::format(printf, 1, 2)]] std::string Printf(const char* format, ...);

// The number at the start of `text` after blanks, as "%Lf" reads it; `fallback`
// when there is none or it lies beyond the range of a double.
double ParseLeadingDouble(std::string_view text, double fallback);
// The same; false, leaving `value` alone, when there is no such number.
bool TryParseLeadingDouble(std::string_view text, double& value);
// The integer at the start of `text` after blanks, as "%d" reads it; `fallback`
// when there is none or it does not fit an int.
int ParseLeadingInt(std::string_view text, int fallback);
// The integer at the start of `text` after blanks and an optional sign, as
// atoi reads it, but saturating at +-10^12 instead of overflowing; 0 when
// there is none.
int64_t ParseLeadingIntSaturated(std::string_view text);
// The whole of `text` as a finite decimal number; nothing when any character
// is left over, or for "inf", "nan" and hexadecimal forms.
std::optional<double> ParseWholeDouble(std::string_view text);
// True when a float holds `value` without becoming infinite (or NaN).
bool FitsFloat(double value);
// `text` without the blanks (space, TAB, CR, LF, VT, FF) at both ends.
std::string_view TrimBlanks(std::string_view text);
// The whole of `text` as an int: an optional sign and digits, nothing else.
std::optional<int> ParseWholeInt(std::string_view text);

}  // namespace clinora
