#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
    // The same three questions to the board at `address`; the answers go
    // into `info` only (what it did not answer stays empty). True when it
    // answered all three. `quickGiveUp`: a board silent to the first
    // question is not asked the other two.
    bool ReadBoardInfo(const std::string& address, BoardInfo& info, bool quickGiveUp = false);
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

    // How often an exchange that changes nothing when repeated (a memory read,
    // a memory write of the same bytes, "I") is tried before the operation
    // fails. 1 unless the caller asks for more (at least 1).
    void setRepeatAttempts(int attempts) { repeatAttempts_ = attempts < 1 ? 1 : attempts; }
    int repeatAttempts() const { return repeatAttempts_; }

private:
    // Collects reply bytes until a complete line is judged: success when it
    // holds `find` and no "?"; a "?" line holding `errorFind` keeps listening.
    bool waitReply(const std::string& find, const std::string& errorFind, int firstWindowMs,
                   int pollMs);
    // Runs `exchange` up to repeatAttempts() times, until it succeeds.
    bool repeated(const std::function<bool()>& exchange);
    void judgeFailedWrite(const std::string& command);
    bool readByteOnce(int address, int timeoutMs, uint8_t& value);
    bool writeMemoryOnce(int address, uint32_t word);
    bool confirmLoaded(const std::string& address);
    long collect(size_t& collected);
    void zeroBuffer();
    std::string target() const;
    void setTarget(const std::string& address);
    bool boardListEntry(std::string& address) const;
    bool currentAddress(int boardIndex, std::string& address) const;
    bool writeSettingBytes(int boardIndex, const std::array<int, 3>& cells,
                           const std::array<uint8_t, 3>& values, bool flags);
    bool readSettingBytes(const std::array<int, 3>& cells, bool flags);
    // The cells an upload has written, with their bytes.
    using WrittenCells = std::vector<std::pair<int, uint8_t>>;
    bool uploadByte(int cell, int value, WrittenCells& written);
    bool uploadAxis(const std::array<float, 8>& values, int base, int checksumCell,
                    WrittenCells& written);
    bool upload(int boardIndex, bool axisA, bool axisB);
    bool verifyAxis(const std::array<float, 8>& values, int base, int checksumCell, int pauseMs);
    bool verifyByte(int cell, uint8_t meant);
    bool verifyAxisAgainstFile(const std::array<double, 8>& constants, int base, int checksumCell,
                               int pauseMs);
    // The step counter of the board being written or verified (WorkerShared).
    void startSteps(int steps);
    void stepDone();
    void notify(int code, int detail);

    SharedState& state_;
    Clock& clock_;
    std::function<void(int, int)> notify_;
    LocalTimeSource localDate_ = SystemLocalTime;
    std::array<uint8_t, kReplyBufferSize> buffer_{};
    int repeatAttempts_ = 1;
    bool wroteElsewhere_ = false;  // the last memory write landed in another cell
    // Cells that unconfirmed memory writes may have hit since the upload began.
    std::set<int> strayCells_;
};

}  // namespace clinora
