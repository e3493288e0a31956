#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "link_words.h"
#include "local_time.h"
#include "serial_port.h"
#include "shared_state.h"
#include "write_echo.h"

namespace clinora {

// The bus password that precedes an address change.
inline constexpr const char* kBusPassword = "*KOLA_VEX_MIR*";

// How often an address change is tried (password and "DA", about 3 s each
// with the pause before the next) before it is given up: see GiveAddress.
inline constexpr int kAddressChangeAttempts = 5;

// Whether a board answers at an address.
enum class AddressCheck {
    Free,     // every probe went unanswered
    Used,     // something answered
    Unknown,  // the probe could not be sent, or the work was stopped
};

// The text command protocol of the bus. Runs on the worker thread; every
// operation returns success or failure and leaves its results in SharedState.
class BusProtocol {
public:
    // `notify` posts a worker event (code, detail); may be empty.
    BusProtocol(SharedState& state, Clock& clock, std::function<void(int, int)> notify = {});

    // Opens the bus port at `baud` (OpenBusPort) and ends whatever line an
    // earlier program left half sent with a bare carriage return; the answer
    // to that line is dropped. Returns the open flag.
    bool OpenPort(int baud);

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
    // Probes `address` up to `attempts` times; any reply at all counts as a
    // board there. Asked before a board is given that address.
    AddressCheck CheckAddressFree(const std::string& address, int attempts);
    // One attempt at an address change (ChangeAddress); when its echo does not
    // come, one probe at the new address tells whether the board took it
    // anyway. Relies on nothing having answered there before.
    bool GiveAddress();
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

    // A new upload request begins: what earlier uploads left in the ledgers
    // (and the stray reports in the shared state) is forgotten.
    void beginTransfer();
    // The transfer has given up: every write whose landing was never settled
    // is reported (a stray report each) before the failure is.
    void reportUnsettledWrites();

    // The collected reply of the last exchange, as a NUL-terminated text.
    const char* reply() const { return reinterpret_cast<const char*>(buffer_.data()); }

    // Local date used for the calibration date bytes and to judge the date a
    // board holds (tests fix it).
    void setLocalDate(LocalTimeSource localDate) { localDate_ = std::move(localDate); }

    // How often an exchange that changes nothing when repeated (a memory read,
    // a memory write of the same bytes, "I", the probe, "DA") is tried before
    // the operation fails. 1 unless the caller asks for more (at least 1).
    void setRepeatAttempts(int attempts) { repeatAttempts_ = attempts < 1 ? 1 : attempts; }
    int repeatAttempts() const { return repeatAttempts_; }

    // Asked before every command line and during every wait: once it says
    // stop, no new line begins (a line already begun is sent whole), replies
    // are no longer awaited and pauses end at once.
    void setStopCheck(std::function<bool()> stop) { stopCheck_ = std::move(stop); }
    bool stopping() const { return stopCheck_ && stopCheck_(); }
    // Waits `ms` on the clock, in short steps, ending early when stopping.
    void pause(int64_t ms);

private:
    // What one board's upload has done beyond the cells it meant: kept from
    // the upload request's first attempt to the verify after it.
    struct BoardLedger {
        std::map<int, uint8_t> image;      // cells a lost digit may hit, as they were before
        std::map<int, uint8_t> confirmed;  // cells whose write the board echoed whole
        std::vector<MemoryWrite> heard;    // writes an echo showed landing elsewhere
        struct Uncertain {
            std::vector<int> starts;  // where the write may have gone
            std::vector<uint8_t> bytes;
        };
        std::vector<Uncertain> uncertain;  // writes without a readable echo
        bool pending() const { return !heard.empty() || !uncertain.empty(); }
    };

    // Collects reply bytes until a carriage return arrives (true), or nothing
    // more has come for `timeoutMs` (false).
    bool awaitLine(int timeoutMs);
    // Collects reply bytes until a complete line is judged: success when it
    // holds `find` and no "?"; a "?" line holding `errorFind` keeps listening.
    bool waitReply(const std::string& find, const std::string& errorFind, int firstWindowMs,
                   int pollMs);
    // Sends one probe line (no command) to `address` and collects the answer,
    // upper-cased, without line feeds or leading carriage returns, until
    // `enough` says it is judged (1) or the probe's window ends (0); -1 when
    // the line could not be sent.
    int probeOnce(const std::string& address,
                  const std::function<bool(const std::string&)>& enough);
    // Runs `exchange` up to repeatAttempts() times, until it succeeds.
    bool repeated(const std::function<bool()>& exchange);
    // One memory write until the board echoes it whole; what other echoes
    // show goes into the ledger of the upload in progress.
    bool writeMemory(const MemoryWrite& write);
    bool writeMemoryOnce(const MemoryWrite& write);
    bool readByteOnce(int address, int timeoutMs, uint8_t& value);
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
    bool upload(int boardIndex, bool axisA, bool axisB);
    bool imageGuardCells(BoardLedger& ledger, const std::vector<MemoryWrite>& plan);
    // Reads back every cell the upload's stray writes may have changed: its
    // own cells are written again (when `planWritten`), cells in the image are
    // put back, and any other cell that holds what a stray write put there is
    // reported.
    bool settleStrays(BoardLedger& ledger, const std::vector<MemoryWrite>& plan, bool planWritten);
    // Cells from `start` that a stray write of `bytes` reached: the upload's
    // own go to `own`, those of the image to `imaged`, the others are read and
    // reported as `kind` when they all hold the bytes. False when a read fails.
    bool checkStrayRun(const BoardLedger& ledger, const std::map<int, uint8_t>& planned, int start,
                       const std::vector<uint8_t>& bytes, StrayKind kind, std::set<int>& own,
                       std::set<int>& imaged);
    // The 32 bytes of an axis block sum up to its checksum: nothing changed them.
    bool axisBlockIntact(int base, int checksumCell, bool& intact);
    bool verifyAxis(const std::array<float, 8>& values, int base, int checksumCell, int pauseMs);
    bool verifyByte(int cell, uint8_t meant);
    bool verifyAxisAgainstFile(const std::array<double, 8>& constants, int base, int checksumCell,
                               int pauseMs);
    // The fixed bytes exactly, the date a real one not later than today.
    bool verifyDateAndFixedBytes();
    // A byte missing that the board had confirmed writing: another board took the line.
    void noteMissingConfirmedWrite(int cell, uint8_t meant);
    void reportStray(const StrayReport& report);
    // The step counter of the board being written or verified (WorkerShared).
    void startSteps(int steps);
    void stepDone();
    void notify(int code, int detail);

    SharedState& state_;
    Clock& clock_;
    std::function<void(int, int)> notify_;
    std::function<bool()> stopCheck_;
    LocalTimeSource localDate_ = SystemLocalTime;
    std::array<uint8_t, kReplyBufferSize> buffer_{};
    int repeatAttempts_ = 1;
    bool wroteElsewhere_ = false;  // the last memory write landed in another cell
    std::map<std::string, BoardLedger> ledgers_;  // by board address, this transfer's
    BoardLedger* ledger_ = nullptr;               // the upload in progress, if any
    std::vector<StrayReport> reported_;
};

}  // namespace clinora
