#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/serial_device.h"
#include "sim_board.h"

namespace clinora::sim {

// One command line as the bus received it.
struct ReceivedLine {
    std::string text;                  // without the carriage return
    std::vector<int64_t> byteTimesMs;  // clock time of every byte, the carriage return last
};

// A reply put in place of a board's own answer to one command text. The pieces
// go out one after the other with `pauseMs` between them; no pieces: silence.
struct ReplyOverride {
    std::vector<std::string> pieces;
    int64_t pauseMs = 0;
};

// Line noise, each a probability per line (0..1).
struct LineFaults {
    double drop = 0.0;           // a reply lost whole
    double garble = 0.0;         // a reply with its echo (and maybe one more byte) changed
    double cut = 0.0;            // a reply that stops before its line end
    double commandLoss = 0.0;    // a command line with one byte the boards do not hear
    double commandChange = 0.0;  // a command line with one byte the boards hear changed
};

struct BusStatus {
    bool plugged = true;
    bool portOpen = false;
    int boardBaud = kBoardBaud;
    int hostBaud = kBoardBaud;
    LineFaults faults;
    bool collisions = false;
    Fixture fixture;
    std::vector<int> addresses;
};

// A serial line with simulated boards on it, behind the same device interface
// as a real port. Bytes the host writes are collected into lines; a carriage
// return hands the line to the boards. A reply becomes readable byte by byte
// at the clock time its last bit would arrive: a short board latency plus ten
// bit times per byte at the line rate. Fixture, faults and test hooks may be
// set from any thread.
class SimBus final : public SerialDevice {
public:
    static constexpr int64_t kReplyLatencyMs = 3;
    static constexpr size_t kMaxLineBytes = 256;  // longer lines are dropped whole
    static constexpr size_t kMaxLoggedLines = 1000;

    explicit SimBus(Clock& clock, uint32_t faultSeed = 1);

    // Adds a board, powered up now. Returns its index.
    size_t addBoard(const BoardConfig& config);
    // Puts a board fresh from the factory (address 65534) on the bus, as a
    // user plugs in a new board; false when a board already answers at 65534.
    bool addFreshBoard();
    size_t boardCount() const;
    // Runs `f(const SimBoard&)` under the bus lock and returns its result;
    // std::out_of_range for an index past the last board.
    template <typename F>
    auto inspectBoard(size_t index, F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const SimBoard&>(slots_.at(index).board));
    }

    Fixture fixture() const;
    // Non-finite values are refused (false).
    bool setFixture(const Fixture& fixture);
    bool setTilt(int axis, double degrees);  // axis 0 = A, 1 = B
    bool setTemperature(double celsius);

    // Faults. Rates are probabilities per line, clamped to 0..1.
    void setFaults(const LineFaults& faults);
    void setDropRate(double rate);    // replies only
    void setGarbleRate(double rate);  // replies only
    // The rate the boards listen at; a host port set to another rate is not
    // heard. False for a rate that is not positive.
    bool setBoardBaud(int baud);
    void setCollisions(bool on);
    // Unplugged: the device cannot be opened, writes fail, nothing arrives.
    void unplug();
    // Unplugs as the `lines`-th command line from now ends (that line is not
    // heard); 0 cancels.
    void unplugAfterLines(size_t lines);
    // Plugging in powers the boards up again (no measurement during warm-up).
    void plug();
    // Drop, garble, collisions off and the boards back at their own rate.
    void clearFaults();
    BusStatus status() const;

    // Test hooks. False for a board index that does not exist.
    bool setReplyOverride(size_t board, const std::string& command, ReplyOverride reply);
    bool setExtraLatency(size_t board, int64_t ms);
    // The next line whose text is `line` reaches the boards as `heard`; with
    // `answered` false its answer is lost on the way back.
    void mishearNextLine(const std::string& line, const std::string& heard, bool answered = true);
    void clearOverrides();
    std::vector<ReceivedLine> receivedLines() const;
    // Bytes of a line the boards have begun to receive, without its end.
    std::string partialLine() const;
    void clearReceivedLines();

    // SerialDevice.
    int open(const std::string& path) override;
    int configureLine(int baud) override;
    int configureTimeouts() override;
    int raiseModemLines() override;
    int bytesWaiting(size_t& count) override;
    int read(uint8_t* buffer, size_t max, size_t& got) override;
    int writeByte(uint8_t byte) override;
    int close() override;

private:
    struct Slot {
        SimBoard board;
        std::map<std::string, ReplyOverride> overrides;
        int64_t extraLatencyMs = 0;
    };
    struct TimedByte {
        uint8_t byte;
        double atMs;  // when the host can read it
    };
    struct Outgoing {
        std::vector<std::string> pieces;
        int64_t pauseMs = 0;
        int64_t latencyMs = 0;
    };

    void lineEnded(int64_t nowMs);
    void handleLine(const std::string& line, int64_t nowMs);
    void send(const Outgoing& reply, int64_t nowMs);
    bool chance(double rate);
    size_t released(int64_t nowMs) const;
    void resetLine();
    void unplugLocked();

    Clock& clock_;
    mutable std::mutex mutex_;  // guards everything below
    std::vector<Slot> slots_;
    Fixture fixture_;
    std::mt19937 faultRng_;
    LineFaults faults_;
    size_t linesUntilUnplug_ = 0;  // 0: no unplug planned
    struct Mishearing {
        std::string line, heard;
        bool answered = true;
    };
    std::optional<Mishearing> mishearing_;
    bool loseNextReply_ = false;
    int boardBaud_ = kBoardBaud;
    bool collisions_ = false;
    bool plugged_ = true;
    bool open_ = false;
    int hostBaud_ = kBoardBaud;
    std::string line_;       // command bytes since the last carriage return
    bool lineLost_ = false;  // part of the line was not heard or it grew too long
    ReceivedLine logging_;
    std::deque<ReceivedLine> log_;
    std::deque<TimedByte> output_;
    double lineFreeAtMs_ = 0.0;  // when the boards' last reply byte ends
};

}  // namespace clinora::sim
