#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "clock.h"
#include "local_time.h"
#include "serial_port.h"
#include "shared_state.h"

namespace clinora {

// The bus password that precedes an address change.
inline constexpr const char* kBusPassword = "*KOLA_VEX_MIR*";

// The text command protocol of the bus. Runs on the worker thread; every
// operation returns success or failure and leaves its results in SharedState.
class BusProtocol {
public:
    // `notify` posts a worker event (code, detail); may be empty.
    BusProtocol(SharedState& state, Clock& clock, std::function<void(int, int)> notify = {});

    // Exchange primitives.
    bool SendCommand(const std::string& address, const std::string& command);
    bool Transact(const std::string& address, const std::string& command, int timeoutMs);
    bool TransactQuick(const std::string& address, const std::string& command);
    bool ProbeDevice(const std::string& address, int attempts);

    // Commands.
    bool SetReadingUnits(int code);
    bool SetTriggerMode(bool continuous);
    bool StopTrigger();
    bool SetModeZero();
    bool ResetAllAddresses();
    bool QueryAddress();
    bool ChangeAddress();
    bool WriteTypeCode();
    bool WriteEepromByte(int address, int value);
    bool ReadEepromByte(int address, int timeoutMs, uint8_t& value);
    bool ReadEepromWord(int address, uint32_t& word);
    bool WriteMemoryWord(int address, uint32_t word);
    // The reading and identity of the one board on the line (broadcast), or
    // of the board at `address`.
    bool ReadSingleReading(const std::string& address = kBroadcastAddress);
    bool ReadBoardReading();
    bool TriggerBoard();
    bool ReadDeviceInfo(const std::string& address = kBroadcastAddress);
    bool ReadSensorSettings();
    bool ReadAxisFlags();
    bool WriteSensorSettings(int boardIndex);
    bool WriteAxisFlags(int boardIndex);
    bool UploadCalibration(int boardIndex);
    bool UploadCalibrationBiaxial(int boardIndex);
    bool VerifyCalibration(int boardIndex);

    // The collected reply of the last exchange, as a NUL-terminated text.
    const char* reply() const { return reinterpret_cast<const char*>(buffer_.data()); }

    // Local date used for the calibration date bytes (tests fix it).
    void setLocalDate(LocalTimeSource localDate) { localDate_ = std::move(localDate); }

private:
    // Collects reply bytes until the line is judged. `needCarriageReturn`
    // false judges every arrival at once (the memory-write wait).
    bool waitReply(const std::string& find, int firstWindowMs, int pollMs, bool needCarriageReturn);
    long collect(size_t& collected);
    void zeroBuffer();
    std::string target() const;
    void setTarget(const std::string& address);
    bool boardListEntry(std::string& address) const;
    bool currentAddress(int boardIndex, std::string& address) const;
    bool writeSettingBytes(int boardIndex, const std::array<int, 3>& cells,
                           const std::array<uint8_t, 3>& values, bool flags);
    bool readSettingBytes(const std::array<int, 3>& cells, bool flags);
    bool uploadAxis(const std::array<float, 8>& values, int base, int checksumCell);
    bool upload(int boardIndex, bool axisA, bool axisB);
    bool verifyAxis(const std::array<float, 8>& values, int base, int pauseMs);
    // The step counter of the board being written or verified (WorkerShared).
    void startSteps(int steps);
    void stepDone();
    void notify(int code, int detail);

    SharedState& state_;
    Clock& clock_;
    std::function<void(int, int)> notify_;
    LocalTimeSource localDate_ = SystemLocalTime;
    std::array<uint8_t, kReplyBufferSize> buffer_{};
};

}  // namespace clinora
