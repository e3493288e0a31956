#include "board_memory.h"

#include <cstring>

namespace clinora::sim {

namespace {

std::array<uint8_t, 4> BytesOf(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
}

}  // namespace

float BoardMemory::getFloat(uint8_t cell) const {
    uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = (word << 8) | bytes_[static_cast<uint8_t>(cell + i)];
    }
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

void BoardMemory::setFloat(uint8_t cell, float value) {
    const auto bytes = BytesOf(value);
    for (int i = 0; i < 4; ++i) bytes_[static_cast<uint8_t>(cell + i)] = bytes[i];
}

AxisConstants BoardMemory::constants(uint8_t base) const {
    AxisConstants values{};
    for (int i = 0; i < kConstantCount; ++i) {
        values[i] = getFloat(static_cast<uint8_t>(base + 4 * i));
    }
    return values;
}

void BoardMemory::setConstants(uint8_t base, uint8_t checksumCell, const AxisConstants& values) {
    for (int i = 0; i < kConstantCount; ++i) {
        setFloat(static_cast<uint8_t>(base + 4 * i), values[i]);
    }
    set(checksumCell, AxisChecksum(values));
}

uint8_t AxisChecksum(const AxisConstants& values) {
    unsigned sum = 0;
    for (float v : values) {
        for (uint8_t b : BytesOf(v)) sum += b;
    }
    return static_cast<uint8_t>(sum & 0xFF);
}

}  // namespace clinora::sim
