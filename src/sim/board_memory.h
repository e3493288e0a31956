#pragma once

#include <array>
#include <cstdint>

namespace clinora::sim {

// Cells of a board's non-volatile memory that the host uses.
inline constexpr int kMemorySize = 256;
inline constexpr uint8_t kTypeCell = 0x01;            // two ASCII letters at 0x01, 0x02
inline constexpr uint8_t kSensorSettingsCell = 0x41;  // sensor 1, sensor 2, thermistor
inline constexpr uint8_t kAxisFlagsCell = 0x49;       // three flags, 1 = on
inline constexpr uint8_t kFixedBytesCell = 0x50;      // 1, 1, 3, 1
inline constexpr uint8_t kDateCell = 0x54;            // 20, year % 100, month, day
inline constexpr uint8_t kChecksumCellA = 0x58;
inline constexpr uint8_t kChecksumCellB = 0x59;
inline constexpr uint8_t kConstantsCellA = 0x70;  // eight singles, 0x70..0x8F
inline constexpr uint8_t kConstantsCellB = 0xA0;  // eight singles, 0xA0..0xBF

// A0..A5, cross linear, cross quadratic of one axis.
inline constexpr int kConstantCount = 8;
using AxisConstants = std::array<float, kConstantCount>;

// Byte-addressed memory of one board. Singles are IEEE 754, least significant
// byte at the lower address. Unwritten cells read 0xFF, as erased memory does.
class BoardMemory {
public:
    BoardMemory() { bytes_.fill(0xFF); }

    uint8_t get(uint8_t cell) const { return bytes_[cell]; }
    void set(uint8_t cell, uint8_t value) { bytes_[cell] = value; }

    // A single at `cell`; cells past the end wrap to 0.
    float getFloat(uint8_t cell) const;
    void setFloat(uint8_t cell, float value);

    AxisConstants constants(uint8_t base) const;
    // Writes the eight constants at `base` and their checksum at `checksumCell`.
    void setConstants(uint8_t base, uint8_t checksumCell, const AxisConstants& values);

    const std::array<uint8_t, kMemorySize>& bytes() const { return bytes_; }

private:
    std::array<uint8_t, kMemorySize> bytes_;
};

// Sum of the 32 bytes of an axis's constants, modulo 256.
uint8_t AxisChecksum(const AxisConstants& values);

}  // namespace clinora::sim
