#include "file_constants.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "number_text.h"

namespace clinora {
namespace {

// The number the file's text of `value` stands for.
double Printed(double value) {
    if (!std::isfinite(value)) return value;
    return ParseLeadingDouble(FormatFileConstant(value), value);
}

}  // namespace

std::string FormatFileConstant(double value) { return FormatScientific(value, 6); }

bool MatchesFileConstant(float board, double file) {
    if (static_cast<float>(file) == board) return true;
    if (!std::isfinite(board) || !std::isfinite(file)) return false;
    // The doubles that round to `board`: between the midpoints to its
    // neighbours, the midpoints themselves only when its last bit is even
    // (round half to even).
    double low = (static_cast<double>(std::nextafter(board, -INFINITY)) + board) / 2;
    double high = (static_cast<double>(std::nextafter(board, INFINITY)) + board) / 2;
    if ((std::bit_cast<uint32_t>(board) & 1u) != 0) {
        low = std::nextafter(low, INFINITY);
        high = std::nextafter(high, -INFINITY);
    }
    // Printing keeps the order of numbers, so one of them prints as the file's
    // text exactly when that text lies between the texts of the two ends.
    const double text = Printed(file);
    return Printed(low) <= text && text <= Printed(high);
}

}  // namespace clinora
