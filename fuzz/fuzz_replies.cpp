// The bus protocol's reply parsers against arbitrary board replies: every
// command line the protocol sends is answered with the next piece of the
// input (pieces end at a 0xFF byte), on virtual time.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/protocol.h"
#include "link/serial_device.h"
#include "link/serial_port.h"
#include "link/shared_state.h"

namespace {

using namespace clinora;

class ScriptedLine final : public SerialDevice {
public:
    void reset(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
        at_ = 0;
        pending_.clear();
        read_ = 0;
    }
    int open(const std::string&) override { return 0; }
    int configureLine(int) override { return 0; }
    int configureTimeouts() override { return 0; }
    int raiseModemLines() override { return 0; }
    int bytesWaiting(size_t& count) override {
        count = pending_.size() - read_;
        return 0;
    }
    int read(uint8_t* buffer, size_t max, size_t& got) override {
        got = std::min(max, pending_.size() - read_);
        for (size_t i = 0; i < got; ++i) buffer[i] = pending_[read_ + i];
        read_ += got;
        return 0;
    }
    int writeByte(uint8_t byte) override {
        if (byte == '\r') answer();
        return 0;
    }
    int close() override { return 0; }

private:
    void answer() {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(read_));
        read_ = 0;
        while (at_ < size_ && data_[at_] != 0xFF) pending_.push_back(data_[at_++]);
        if (at_ < size_) ++at_;
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0, at_ = 0;
    std::vector<uint8_t> pending_;
    size_t read_ = 0;
};

void Check(bool good) {
    if (!good) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static ScriptedLine line;
    static SerialPort port(line);
    static bool opened = port.Open(0, 115200);
    Check(opened);
    line.reset(data + 1, size - 1);

    VirtualClock clock(1000);
    SharedState state(port);
    // The first byte picks the display settings the reading parsers follow.
    const uint8_t mode = data[0];
    state.locked([&](SharedData& d) {
        d.settings.calibrationMode = (mode & 1) != 0;
        d.settings.monitorUnitsUser = (mode & 2) != 0 ? 1 : 0;
        d.settings.fahrenheit = (mode & 4) != 0;
        d.request.targetAddress = "101";
        d.request.boardList = {"101"};
        d.worker.currentBoardIndex = 0;
    });
    BusProtocol protocol(state, clock);
    protocol.setLocalDate([] { return LocalDateTime{2026, 1, 2}; });

    protocol.ReadSingleReading();
    protocol.ReadBoardReading();
    protocol.ReadDeviceInfo();
    protocol.QueryAddress();
    protocol.ReadSensorSettings();
    protocol.ReadAxisFlags();
    uint32_t word = 0;
    protocol.ReadEepromWord(0x40, word);
    protocol.ProbeDevice("101", 1);
    // Writes judged by their echoes, and a verify of what an upload writes.
    protocol.WriteMemoryWord(0x70, 0x3F800000u);
    protocol.WriteEepromByte(0x58, 0xF8);
    state.locked([](SharedData& d) { d.currentAddresses = {"101"}; });
    protocol.VerifyCalibration(0);
    const std::string echo(reinterpret_cast<const char*>(data), size);
    for (const MemoryWrite& w :
         {MemoryWrite{"WE", 0x52, {3}}, MemoryWrite{"WM", 0xFC, {1, 2, 3, 4}}}) {
        const EchoVerdict v = JudgeWriteEcho(w, echo);
        for (int start : v.strayStarts)
            Check(start != w.cell && start >= 0 && start + 4 <= 256 + 3);
    }

    const SharedData d = state.snapshot();
    Check(std::isfinite(d.readings.firmwareVersion) && std::isfinite(d.readings.boardRevision));
    for (const auto& board : d.readings.boards)
        Check(std::isfinite(board.a) && std::isfinite(board.b) &&
              std::isfinite(board.temperature));
    return 0;
}
