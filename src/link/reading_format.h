#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace clinora {

// Tilt in degrees from a sine reading; readings beyond +-1 continue past 90.
double SineToDegrees(double sine);

// "%.2f °C", or "%.2f °F" of celsius x 1.8 + 32.
std::string FormatTemperature(double celsius, bool fahrenheit);

// The characters of a reply from `offset` up to its first CR or LF, at most
// through offset 99.
std::string ReplyField(const std::string& reply, size_t offset);

// Splits "a,b,rest" at its first two commas. Missing fields are empty.
struct ReadingFields {
    std::string a, b, rest;
};
ReadingFields SplitReading(const std::string& text);

// Decimal text to double; conversion stops at the first character that does
// not belong to a number, and an empty or non-numeric text gives 0.
double ToDouble(const std::string& text);

// Single-precision values as the boards store them: IEEE 754, four bytes,
// least significant first.
uint32_t FloatToWord(float value);
float WordToFloat(uint32_t word);
// Sum of the 32 bytes of eight values, modulo 256.
uint8_t AxisChecksum(const std::array<float, 8>& values);

}  // namespace clinora
