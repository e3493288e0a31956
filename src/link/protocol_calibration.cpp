// Calibration constants: memory words, upload and verify.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <tuple>

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
constexpr int kFixedBytesCell = 0x50;
constexpr int kDateCell = 0x54;
constexpr int kFixedBytes[4] = {1, 1, 3, 1};

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

MemoryWrite WordWrite(int cell, uint32_t word) {
    return {"WM",
            cell,
            {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
             static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)}};
}

MemoryWrite ByteWrite(int cell, int value) { return {"WE", cell, {static_cast<uint8_t>(value)}}; }

// Every write of an upload, in the order it makes them: the eight words and
// the checksum of each axis, then the date and the fixed bytes.
std::vector<MemoryWrite> UploadPlan(const DeviceRecord& record, bool axisA, bool axisB,
                                    const LocalDateTime& date) {
    std::vector<MemoryWrite> plan;
    const auto axis = [&](bool a, int base, int checksumCell) {
        const std::array<float, 8> values = AxisValues(record, a);
        for (int k = 0; k < 8; ++k) plan.push_back(WordWrite(base + 4 * k, FloatToWord(values[k])));
        plan.push_back(ByteWrite(checksumCell, AxisChecksum(values)));
    };
    if (axisA) axis(true, kAxisABase, kAxisAChecksum);
    if (axisB) axis(false, kAxisBBase, kAxisBChecksum);
    const int dateBytes[4] = {20, date.year % 100, date.month, date.day};
    for (int i = 0; i < 4; ++i) plan.push_back(ByteWrite(kDateCell + i, dateBytes[i]));
    for (int i = 0; i < 4; ++i) plan.push_back(ByteWrite(kFixedBytesCell + i, kFixedBytes[i]));
    return plan;
}

std::map<int, uint8_t> PlannedCells(const std::vector<MemoryWrite>& plan) {
    std::map<int, uint8_t> cells;
    for (const MemoryWrite& w : plan) {
        for (size_t k = 0; k < w.bytes.size(); ++k)
            cells[w.cell + static_cast<int>(k)] = w.bytes[k];
    }
    return cells;
}

// Cells holding small setting numbers (device type letters, sensor settings,
// axis flags): a stray byte of the upload may well equal what they hold, so
// only a copy taken before tells whether one landed there.
bool IsSettingCell(int cell) {
    return (cell >= 0x01 && cell <= 0x02) || (cell >= 0x41 && cell <= 0x43) ||
           (cell >= 0x49 && cell <= 0x4B);
}

// The four date bytes (20, year % 100, month, day) name a real day, not later
// than `today`.
bool BoardDateValid(const std::array<uint8_t, 4>& bytes, const LocalDateTime& today) {
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = 100 * bytes[0] + bytes[1];
    const int month = bytes[2], day = bytes[3];
    if (bytes[0] != 20 || bytes[1] > 99 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap)) return false;
    return std::make_tuple(year, month, day) <= std::make_tuple(today.year, today.month, today.day);
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
    return writeMemory(WordWrite(address, w));
}

bool BusProtocol::writeMemory(const MemoryWrite& write) {
    return repeated([&] { return writeMemoryOnce(write); });
}

// Done only when the board echoes the whole line: a byte it heard wrong shows
// in its echo, and writing the same bytes again puts it right. Any other echo
// says where the bytes may have gone instead; during an upload that goes into
// its ledger, to be put right or reported before the upload counts.
bool BusProtocol::writeMemoryOnce(const MemoryWrite& write) {
    const std::string command = WriteCommandText(write);
    const std::string board = target();
    zeroBuffer();
    state_.port().Discard();
    if (!SendCommand(board, command)) return false;
    pause(500);
    if (write.word == "WM") {
        waitReply(command, "WM", 2000, 100);
    } else {
        awaitLine(2000);
    }
    const EchoVerdict v = JudgeWriteEcho(write, reply());
    switch (v.says) {
        case EchoSays::Written:
            if (ledger_) {
                for (size_t k = 0; k < write.bytes.size(); ++k)
                    ledger_->confirmed[write.cell + static_cast<int>(k)] = write.bytes[k];
            }
            return true;
        case EchoSays::Refused:
        case EchoSays::SameCell:
            return false;
        case EchoSays::OtherCell:
            if (!ledger_) {
                // Sending the line again cannot mend the cell the board wrote.
                wroteElsewhere_ = true;
                return false;
            }
            ledger_->heard.push_back(v.heard);
            return false;
        case EchoSays::Unknown:
            if (ledger_ && !v.strayStarts.empty())
                ledger_->uncertain.push_back({v.strayStarts, write.bytes});
            return false;
    }
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

// An axis verified: eight words and the checksum byte.
constexpr int kAxisSteps = 9;
// Stray writes settled at most this often in one attempt: putting a cell right
// is a write that may go astray in turn.
constexpr int kSettleRounds = 3;

bool BusProtocol::upload(int boardIndex, bool axisA, bool axisB) {
    std::string address;
    // One board at a time: the broadcast address would write every board.
    if (!currentAddress(boardIndex, address) || address == kBroadcastAddress) return false;
    setTarget(address);
    const DeviceRecord record =
        state_.locked([&](const SharedData& d) { return d.devices[boardIndex]; });
    const std::vector<MemoryWrite> plan =
        UploadPlan(record, axisA, axisB, localDate_ ? localDate_() : SystemLocalTime());
    // The image first, each write, then "I".
    startSteps(static_cast<int>(plan.size()) + 2);
    notify(kEventUploadStarting, std::atoi(address.c_str()));

    BoardLedger& ledger = ledgers_[address];
    struct Active {
        BoardLedger*& slot;
        ~Active() { slot = nullptr; }
    } active{ledger_};
    ledger_ = &ledger;
    if (!imageGuardCells(ledger, plan)) return false;
    stepDone();
    bool written = true;
    for (const MemoryWrite& w : plan) {
        if (!writeMemory(w)) {
            written = false;
            break;
        }
        stepDone();
        pause(200);
    }
    // What went astray is put right or reported even when this attempt ends
    // here: another one may never come (its own cells it writes anyway).
    if (!settleStrays(ledger, plan, written) || !written) return false;
    if (!confirmLoaded(address)) return false;
    stepDone();
    pause(200);
    return true;
}

// Copies the cells a misheard line of the upload may hit and only a copy can
// put right: those a lost digit of a cell field leads to (all below 0x10),
// and the setting cells a changed digit leads to.
bool BusProtocol::imageGuardCells(BoardLedger& ledger, const std::vector<MemoryWrite>& plan) {
    const std::map<int, uint8_t> planned = PlannedCells(plan);
    std::set<int> cells;
    for (const MemoryWrite& w : plan) {
        for (const bool dropped : {true, false}) {
            for (int start : MisheardStarts(w, dropped)) {
                for (int k = 0; k < static_cast<int>(w.bytes.size()); ++k) {
                    const int cell = start + k;
                    if (planned.count(cell) == 0 && (dropped || IsSettingCell(cell)))
                        cells.insert(cell);
                }
            }
        }
    }
    for (int cell : cells) {
        if (ledger.image.count(cell) != 0) continue;  // taken by an earlier attempt
        uint8_t byte = 0;
        if (!ReadEepromByte(cell, 1200, byte)) return false;
        ledger.image[cell] = byte;
    }
    return true;
}

bool BusProtocol::checkStrayRun(const BoardLedger& ledger, const std::map<int, uint8_t>& planned,
                                int start, const std::vector<uint8_t>& bytes, StrayKind kind,
                                std::set<int>& own, std::set<int>& imaged) {
    std::vector<int> foreign;
    for (size_t k = 0; k < bytes.size(); ++k) {
        const int cell = start + static_cast<int>(k);
        if (planned.count(cell)) {
            own.insert(cell);
        } else if (ledger.image.count(cell)) {
            imaged.insert(cell);
        } else {
            uint8_t held = 0;
            if (!ReadEepromByte(cell, 1200, held)) return false;
            if (held != bytes[k]) return true;  // not written there
            foreign.push_back(cell);
        }
    }
    if (foreign.empty()) return true;
    // Holding the bytes of the stray write is no change when they were there
    // before; in an axis block that the upload leaves alone, the block's
    // checksum tells.
    for (const bool axisA : {true, false}) {
        const int base = axisA ? kAxisABase : kAxisBBase;
        const int checksumCell = axisA ? kAxisAChecksum : kAxisBChecksum;
        const auto inBlock = [&](int cell) {
            return cell == checksumCell || (cell >= base && cell < base + 32);
        };
        if (!std::all_of(foreign.begin(), foreign.end(), inBlock) || planned.count(checksumCell))
            continue;
        bool intact = false;
        if (!axisBlockIntact(base, checksumCell, intact)) return false;
        if (intact) return true;
    }
    reportStray({target(), foreign.front(), static_cast<int>(foreign.size()), kind});
    return true;
}

bool BusProtocol::axisBlockIntact(int base, int checksumCell, bool& intact) {
    unsigned sum = 0;
    for (int cell = base; cell < base + 32; ++cell) {
        uint8_t byte = 0;
        if (!ReadEepromByte(cell, 1200, byte)) return false;
        sum += byte;
    }
    uint8_t checksum = 0;
    if (!ReadEepromByte(checksumCell, 1200, checksum)) return false;
    intact = (sum & 0xFF) == checksum;
    return true;
}

bool BusProtocol::settleStrays(BoardLedger& ledger, const std::vector<MemoryWrite>& plan,
                               bool planWritten) {
    const std::map<int, uint8_t> planned = PlannedCells(plan);
    const std::string address = target();
    const auto readCell = [&](int cell, uint8_t& byte) { return ReadEepromByte(cell, 1200, byte); };
    for (int round = 0; round < kSettleRounds && ledger.pending(); ++round) {
        // Worked on copies: the ledger keeps them until the round is through,
        // so an attempt cut short by the line leaves them for the next one.
        const auto heard = ledger.heard;
        const auto uncertain = ledger.uncertain;
        std::set<int> own, imaged;
        // An echo named the cells: they were written, if they hold its bytes.
        for (const MemoryWrite& w : heard) {
            if (!checkStrayRun(ledger, planned, w.cell, w.bytes, StrayKind::Written, own, imaged))
                return false;
        }
        // The echo was lost: wherever the line may have gone, cells that hold
        // every byte of it may have been written.
        for (const auto& u : uncertain) {
            for (int start : u.starts) {
                if (!checkStrayRun(ledger, planned, start, u.bytes, StrayKind::Possible, own,
                                   imaged))
                    return false;
            }
        }
        // The upload's own cells hold its bytes, written again where not
        // (once it has written them all).
        std::set<size_t> rewritten;
        if (!planWritten) own.clear();
        for (int cell : own) {
            uint8_t held = 0;
            if (!readCell(cell, held)) return false;
            if (held == planned.at(cell)) continue;
            for (size_t i = 0; i < plan.size(); ++i) {
                const MemoryWrite& w = plan[i];
                if (cell < w.cell || cell >= w.cell + static_cast<int>(w.bytes.size())) continue;
                if (rewritten.insert(i).second && !writeMemory(w)) return false;
            }
        }
        // Cells of the image get their former bytes back.
        for (int cell : imaged) {
            uint8_t held = 0;
            if (!readCell(cell, held)) return false;
            const uint8_t former = ledger.image.at(cell);
            if (held == former) continue;
            if (!writeMemory({"WE", cell, {former}})) return false;
            reportStray({address, cell, 1, StrayKind::Restored});
        }
        // Through: what this round looked at is settled; what its own writes
        // added to the ledger waits for the next round.
        ledger.heard.erase(ledger.heard.begin(),
                           ledger.heard.begin() + static_cast<long>(heard.size()));
        ledger.uncertain.erase(ledger.uncertain.begin(),
                               ledger.uncertain.begin() + static_cast<long>(uncertain.size()));
    }
    return !ledger.pending();
}

void BusProtocol::reportStray(const StrayReport& report) {
    if (std::find(reported_.begin(), reported_.end(), report) != reported_.end()) return;
    reported_.push_back(report);
    const int index = state_.locked([&](SharedData& d) {
        d.worker.strayReports.push_back(report);
        return static_cast<int>(d.worker.strayReports.size()) - 1;
    });
    notify(kEventStrayWrite, index);
}

void BusProtocol::beginTransfer() {
    ledgers_.clear();
    reported_.clear();
    state_.locked([](SharedData& d) { d.worker.strayReports.clear(); });
}

void BusProtocol::reportUnsettledWrites() {
    for (auto& [address, ledger] : ledgers_) {
        for (const MemoryWrite& w : ledger.heard)
            reportStray({address, w.cell, static_cast<int>(w.bytes.size()), StrayKind::Written});
        if (!ledger.uncertain.empty()) reportStray({address, 0, 1, StrayKind::Unchecked});
        ledger.heard.clear();
        ledger.uncertain.clear();
    }
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
        pause(pauseMs);
    }
    if (!verifyByte(checksumCell, AxisChecksum(values))) return false;
    stepDone();
    return true;
}

bool BusProtocol::verifyByte(int cell, uint8_t meant) {
    std::optional<uint8_t> held;
    const bool same = repeated([&] {
        uint8_t byte = 0;
        if (!readByteOnce(cell, 1200, byte)) return false;
        held = byte;
        return byte == meant;
    });
    if (!same && held) noteMissingConfirmedWrite(cell, meant);
    return same;
}

// The upload saw this very write echoed whole, yet the board does not hold
// it: the echo came from a board that took the line for its own address.
void BusProtocol::noteMissingConfirmedWrite(int cell, uint8_t meant) {
    const std::string address = target();
    const auto ledger = ledgers_.find(address);
    if (ledger == ledgers_.end()) return;
    const auto confirmed = ledger->second.confirmed.find(cell);
    if (confirmed != ledger->second.confirmed.end() && confirmed->second == meant)
        reportStray({address, cell, 1, StrayKind::OtherBoard});
}

// Every upload writes the fixed bytes and the date: the fixed bytes must be
// exactly theirs, the date a real one, not later than today; right after an
// upload of this transfer, the very date it wrote.
bool BusProtocol::verifyDateAndFixedBytes() {
    for (int i = 0; i < 4; ++i) {
        if (!verifyByte(kFixedBytesCell + i, kFixedBytes[i])) return false;
    }
    const auto ledger = ledgers_.find(target());
    std::array<uint8_t, 4> date{};
    for (int i = 0; i < 4; ++i) {
        const int cell = kDateCell + i;
        const bool written = ledger != ledgers_.end() && ledger->second.confirmed.count(cell) != 0;
        if (written ? !verifyByte(cell, ledger->second.confirmed.at(cell))
                    : !ReadEepromByte(cell, 1200, date[i]))
            return false;
        if (written) date[i] = ledger->second.confirmed.at(cell);
    }
    stepDone();
    return BoardDateValid(date, localDate_ ? localDate_() : SystemLocalTime());
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
    if (!currentAddress(boardIndex, address) || address == kBroadcastAddress) return false;
    setTarget(address);
    startSteps(kAxisSteps + 1);
    notify(kEventVerifyStarting, std::atoi(address.c_str()));
    const auto [record, axisA] = state_.locked([&](const SharedData& d) {
        return std::make_pair(d.devices[boardIndex], d.settings.axisSelector == 1);
    });
    const int base = axisA ? kAxisABase : kAxisBBase;
    const int checksum = axisA ? kAxisAChecksum : kAxisBChecksum;
    const int pauseMs = axisA ? 0 : 200;
    const bool constants =
        record.constantsFromFile
            ? verifyAxisAgainstFile(AxisConstants(record, axisA), base, checksum, pauseMs)
            : verifyAxis(AxisValues(record, axisA), base, checksum, pauseMs);
    return constants && verifyDateAndFixedBytes();
}

}  // namespace clinora
