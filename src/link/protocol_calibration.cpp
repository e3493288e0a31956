// Calibration constants: memory words, upload and verify.
#include <cstdio>
#include <cstdlib>

#include "file_constants.h"
#include "protocol.h"
#include "reading_format.h"
#include "worker_codes.h"

namespace clinora {

namespace {

constexpr int kAxisABase = 0x70;
constexpr int kAxisBBase = 0xA0;
constexpr int kAxisAChecksum = 0x58;
constexpr int kAxisBChecksum = 0x59;

// The eight constants of one axis in the order of the board's memory: six
// coefficients, cross linear, cross quadratic.
std::array<double, 8> AxisConstants(const DeviceRecord& r, bool axisA) {
    const auto& c = axisA ? r.a : r.b;
    std::array<double, 8> v{};
    for (int k = 0; k < 6; ++k) v[k] = c[k];
    v[6] = axisA ? r.aCrossLinear : r.bCrossLinear;
    v[7] = axisA ? r.aCrossQuadratic : r.bCrossQuadratic;
    return v;
}

// The same as sent: single precision.
std::array<float, 8> AxisValues(const DeviceRecord& r, bool axisA) {
    const std::array<double, 8> constants = AxisConstants(r, axisA);
    std::array<float, 8> v{};
    for (int k = 0; k < 8; ++k) v[k] = static_cast<float>(constants[k]);
    return v;
}

}  // namespace

bool BusProtocol::ReadEepromWord(int address, uint32_t& word) {
    word = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t byte = 0;
        if (!ReadEepromByte(address + i, 1200, byte)) return false;
        word |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return true;
}

bool BusProtocol::WriteMemoryWord(int address, uint32_t w) {
    return repeated([&] { return writeMemoryOnce(address, w); });
}

// Done only when the board echoes the whole line: a byte it heard wrong shows
// in its echo, and writing the same bytes again puts it right.
bool BusProtocol::writeMemoryOnce(int address, uint32_t w) {
    char command[64];
    std::snprintf(command, sizeof command, "WM %X %X %X %X %X %X", static_cast<unsigned>(address),
                  4u, w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF, (w >> 24) & 0xFF);
    const std::string address_ = target();
    zeroBuffer();
    state_.port().Discard();
    if (!SendCommand(address_, command)) return false;
    clock_.sleepMs(500);
    if (waitReply(command, "WM", 2000, 100)) return true;
    judgeFailedWrite(command);
    return false;
}

bool BusProtocol::currentAddress(int boardIndex, std::string& address) const {
    return state_.locked([&](const SharedData& d) {
        if (boardIndex < 0 || boardIndex >= static_cast<int>(d.currentAddresses.size()) ||
            boardIndex >= kMaxBoards) {
            return false;
        }
        address = d.currentAddresses[boardIndex];
        return true;
    });
}

void BusProtocol::startSteps(int steps) {
    state_.locked([steps](SharedData& d) {
        d.worker.transferStep = 0;
        d.worker.transferSteps = steps;
    });
}

void BusProtocol::stepDone() {
    state_.locked([](SharedData& d) { ++d.worker.transferStep; });
}

// An axis written or verified: eight words and the checksum byte.
constexpr int kAxisSteps = 9;
// The date and fixed bytes and the reset.
constexpr int kUploadTailSteps = 9;

bool BusProtocol::uploadByte(int cell, int value, WrittenCells& written) {
    if (!WriteEepromByte(cell, value)) return false;
    written.emplace_back(cell, static_cast<uint8_t>(value));
    stepDone();
    clock_.sleepMs(200);
    return true;
}

bool BusProtocol::uploadAxis(const std::array<float, 8>& values, int base, int checksumCell,
                             WrittenCells& written) {
    for (int k = 0; k < 8; ++k) {
        const uint32_t word = FloatToWord(values[k]);
        if (!WriteMemoryWord(base + 4 * k, word)) return false;
        for (int i = 0; i < 4; ++i)
            written.emplace_back(base + 4 * k + i, static_cast<uint8_t>(word >> (8 * i)));
        stepDone();
        clock_.sleepMs(200);
    }
    return uploadByte(checksumCell, AxisChecksum(values), written);
}

bool BusProtocol::upload(int boardIndex, bool axisA, bool axisB) {
    std::string address;
    if (!currentAddress(boardIndex, address)) return false;
    setTarget(address);
    startSteps((axisA + axisB) * kAxisSteps + kUploadTailSteps);
    notify(kEventUploadStarting, std::atoi(address.c_str()));
    const DeviceRecord record =
        state_.locked([&](const SharedData& d) { return d.devices[boardIndex]; });
    strayCells_.clear();
    WrittenCells written;
    if (axisA && !uploadAxis(AxisValues(record, true), kAxisABase, kAxisAChecksum, written))
        return false;
    if (axisB && !uploadAxis(AxisValues(record, false), kAxisBBase, kAxisBChecksum, written))
        return false;
    const LocalDateTime date = localDate_ ? localDate_() : SystemLocalTime();
    const int dateBytes[4] = {20, date.year % 100, date.month, date.day};
    for (int i = 0; i < 4; ++i) {
        if (!uploadByte(0x54 + i, dateBytes[i], written)) return false;
    }
    const int fixed[4] = {1, 1, 3, 1};
    for (int i = 0; i < 4; ++i) {
        if (!uploadByte(0x50 + i, fixed[i], written)) return false;
    }
    // A write whose echo the line hid may have landed in a cell written before
    // it: each such cell must show its byte before the upload counts.
    for (const auto& [cell, byte] : written) {
        if (strayCells_.count(cell) != 0 && !verifyByte(cell, byte)) return false;
    }
    if (!confirmLoaded(address)) return false;
    stepDone();
    clock_.sleepMs(200);
    return true;
}

bool BusProtocol::UploadCalibration(int boardIndex) {
    const bool axisA =
        state_.locked([](const SharedData& d) { return d.settings.axisSelector == 1; });
    return upload(boardIndex, axisA, !axisA);
}

bool BusProtocol::UploadCalibrationBiaxial(int boardIndex) {
    return upload(boardIndex, true, true);
}

// Every byte read is compared with the byte meant. A read that fails or
// differs is asked again (reading changes nothing); the byte counts only once
// the board has given exactly the byte meant.
// The axis checksum is read as well: a line meant for another board can land
// on this one with an echo that looks right, and only the bytes held show it.
bool BusProtocol::verifyAxis(const std::array<float, 8>& values, int base, int checksumCell,
                             int pauseMs) {
    for (int k = 0; k < 8; ++k) {
        const uint32_t meant = FloatToWord(values[k]);
        for (int i = 0; i < 4; ++i) {
            if (!verifyByte(base + 4 * k + i, static_cast<uint8_t>(meant >> (8 * i)))) return false;
        }
        stepDone();
        clock_.sleepMs(pauseMs);
    }
    if (!verifyByte(checksumCell, AxisChecksum(values))) return false;
    stepDone();
    return true;
}

bool BusProtocol::verifyByte(int cell, uint8_t meant) {
    return repeated([&] {
        uint8_t byte = 0;
        return readByteOnce(cell, 1200, byte) && byte == meant;
    });
}

// Constants read from a file are known to seven significant digits: each word
// is read whole and judged by MatchesFileConstant (a read that fails or does
// not match is asked again). The checksum cell must hold the checksum of the
// words the board holds.
bool BusProtocol::verifyAxisAgainstFile(const std::array<double, 8>& constants, int base,
                                        int checksumCell, int pauseMs) {
    std::array<float, 8> held{};
    for (int k = 0; k < 8; ++k) {
        const bool matched = repeated([&] {
            uint32_t word = 0;
            for (int i = 0; i < 4; ++i) {
                uint8_t byte = 0;
                if (!readByteOnce(base + 4 * k + i, 1200, byte)) return false;
                word |= static_cast<uint32_t>(byte) << (8 * i);
            }
            held[k] = WordToFloat(word);
            return MatchesFileConstant(held[k], constants[k]);
        });
        if (!matched) return false;
        stepDone();
        clock_.sleepMs(pauseMs);
    }
    if (!verifyByte(checksumCell, AxisChecksum(held))) return false;
    stepDone();
    return true;
}

bool BusProtocol::VerifyCalibration(int boardIndex) {
    std::string address;
    if (!currentAddress(boardIndex, address)) return false;
    setTarget(address);
    startSteps(kAxisSteps);
    notify(kEventVerifyStarting, std::atoi(address.c_str()));
    const auto [record, axisA] = state_.locked([&](const SharedData& d) {
        return std::make_pair(d.devices[boardIndex], d.settings.axisSelector == 1);
    });
    const int base = axisA ? kAxisABase : kAxisBBase;
    const int checksum = axisA ? kAxisAChecksum : kAxisBChecksum;
    const int pauseMs = axisA ? 0 : 200;
    if (record.constantsFromFile)
        return verifyAxisAgainstFile(AxisConstants(record, axisA), base, checksum, pauseMs);
    return verifyAxis(AxisValues(record, axisA), base, checksum, pauseMs);
}

}  // namespace clinora
