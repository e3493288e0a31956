#include "reading_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "number_text.h"

namespace clinora {

double SineToDegrees(double s) {
    constexpr double kInvPi = 0.3183098861837907;
    if (s < -1.0) return std::asin(s + 1.0) * 180.0 * kInvPi - 90.0;
    if (s > 1.0) return std::asin(s - 1.0) * 180.0 * kInvPi + 90.0;
    return std::asin(s) * 180.0 * kInvPi;
}

std::string FormatTemperature(double celsius, bool fahrenheit) {
    if (fahrenheit) return Printf("%.2f \u00B0F", celsius * 1.8 + 32.0);
    return Printf("%.2f \u00B0C", celsius);
}

std::string ReplyField(const std::string& reply, size_t offset) {
    if (offset >= reply.size()) return {};
    size_t end = reply.find_first_of("\r\n", offset);
    if (end == std::string::npos) end = reply.size();
    end = std::min<size_t>(end, 100);
    if (end <= offset) return {};
    return reply.substr(offset, end - offset);
}

ReadingFields SplitReading(const std::string& text) {
    ReadingFields f;
    const size_t first = text.find(',');
    f.a = text.substr(0, first);
    if (first == std::string::npos) return f;
    const size_t second = text.find(',', first + 1);
    f.b = text.substr(first + 1,
                      second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos) f.rest = text.substr(second + 1);
    return f;
}

double ToDouble(const std::string& text) {
    const double v = ParseLeadingDouble(text, 0.0);
    return std::isfinite(v) ? v : 0.0;
}

uint32_t FloatToWord(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

float WordToFloat(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

uint8_t AxisChecksum(const std::array<float, 8>& values) {
    unsigned sum = 0;
    for (float v : values) {
        const uint32_t w = FloatToWord(v);
        for (int i = 0; i < 4; ++i) sum += (w >> (8 * i)) & 0xFF;
    }
    return static_cast<uint8_t>(sum % 256);
}

}  // namespace clinora
