#include "sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>
#include <utility>

#include "line_noise.h"

namespace clinora::sim {

namespace {

std::optional<int> ParseAddress(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + (ch - '0');
    }
    if (value > kBroadcastAddress) return std::nullopt;
    return value;
}

double Rate(double rate) { return std::isfinite(rate) ? std::clamp(rate, 0.0, 1.0) : 0.0; }

}  // namespace

SimBus::SimBus(Clock& clock, uint32_t faultSeed) : clock_(clock), faultRng_(faultSeed) {}

size_t SimBus::addBoard(const BoardConfig& config) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.push_back(Slot{SimBoard(config, clock_.nowMs()), {}, 0});
    return slots_.size() - 1;
}

bool SimBus::addFreshBoard() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& slot : slots_)
        if (slot.board.address() == kFactoryAddress) return false;
    // Its own profile and serial number: the seed follows the boards already there.
    const auto seed = static_cast<uint32_t>(slots_.size() + 1);
    slots_.push_back(Slot{SimBoard(VariedBoard(std::to_string(kFactoryAddress), seed),
                                   clock_.nowMs()),
                          {}, 0});
    return true;
}

size_t SimBus::boardCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_.size();
}

Fixture SimBus::fixture() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fixture_;
}

bool SimBus::setFixture(const Fixture& f) {
    if (!std::isfinite(f.tiltADeg) || !std::isfinite(f.tiltBDeg) || !std::isfinite(f.tempC)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    fixture_ = f;
    return true;
}

bool SimBus::setTilt(int axis, double degrees) {
    if (!std::isfinite(degrees) || (axis != 0 && axis != 1)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    (axis == 0 ? fixture_.tiltADeg : fixture_.tiltBDeg) = degrees;
    return true;
}

bool SimBus::setTemperature(double celsius) {
    if (!std::isfinite(celsius)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    fixture_.tempC = celsius;
    return true;
}

void SimBus::setFaults(const LineFaults& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = {Rate(f.drop), Rate(f.garble), Rate(f.cut), Rate(f.commandLoss),
               Rate(f.commandChange)};
}

void SimBus::setDropRate(double rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.drop = Rate(rate);
}

void SimBus::setGarbleRate(double rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.garble = Rate(rate);
}

bool SimBus::setBoardBaud(int baud) {
    if (baud <= 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    boardBaud_ = baud;
    return true;
}

void SimBus::setCollisions(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    collisions_ = on;
}

void SimBus::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugLocked();
}

void SimBus::unplugLocked() {
    plugged_ = false;
    linesUntilUnplug_ = 0;
    output_.clear();
    resetLine();
}

void SimBus::unplugAfterLines(size_t lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    linesUntilUnplug_ = lines;
}

void SimBus::plug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_) return;
    plugged_ = true;
    const int64_t now = clock_.nowMs();
    for (auto& slot : slots_) slot.board.powerUp(now);
    lineFreeAtMs_ = static_cast<double>(now);
}

void SimBus::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = {};
    linesUntilUnplug_ = 0;
    collisions_ = false;
    boardBaud_ = kBoardBaud;
}

BusStatus SimBus::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    BusStatus s;
    s.plugged = plugged_;
    s.portOpen = open_;
    s.boardBaud = boardBaud_;
    s.hostBaud = hostBaud_;
    s.faults = faults_;
    s.collisions = collisions_;
    s.fixture = fixture_;
    for (const auto& slot : slots_) s.addresses.push_back(slot.board.address());
    return s;
}

bool SimBus::setReplyOverride(size_t board, const std::string& command, ReplyOverride reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (board >= slots_.size()) return false;
    slots_[board].overrides[command] = std::move(reply);
    return true;
}

bool SimBus::setExtraLatency(size_t board, int64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (board >= slots_.size()) return false;
    slots_[board].extraLatencyMs = std::max<int64_t>(0, ms);
    return true;
}

void SimBus::mishearNextLine(const std::string& line, const std::string& heard, bool answered) {
    std::lock_guard<std::mutex> lock(mutex_);
    mishearing_ = Mishearing{line, heard, answered};
}

void SimBus::clearOverrides() {
    std::lock_guard<std::mutex> lock(mutex_);
    mishearing_.reset();
    for (auto& slot : slots_) {
        slot.overrides.clear();
        slot.extraLatencyMs = 0;
    }
}

std::vector<ReceivedLine> SimBus::receivedLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {log_.begin(), log_.end()};
}

std::string SimBus::partialLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return line_;
}

void SimBus::clearReceivedLines() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

int SimBus::open(const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return ENOENT;
    if (open_) return EBUSY;
    open_ = true;
    output_.clear();
    // What the boards collected of a line stays: a program that ended in the
    // middle of one leaves it to the next.
    return 0;
}

int SimBus::configureLine(int baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return EBADF;
    if (!plugged_) return EIO;
    if (baud <= 0) return EINVAL;
    hostBaud_ = baud;
    return 0;
}

int SimBus::configureTimeouts() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return EBADF;
    return plugged_ ? 0 : EIO;
}

int SimBus::raiseModemLines() { return configureTimeouts(); }

size_t SimBus::released(int64_t nowMs) const {
    size_t n = 0;
    while (n < output_.size() && output_[n].atMs <= static_cast<double>(nowMs)) ++n;
    return n;
}

int SimBus::bytesWaiting(size_t& count) {
    count = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return EBADF;
    if (!plugged_) return EIO;
    count = released(clock_.nowMs());
    return 0;
}

int SimBus::read(uint8_t* buffer, size_t max, size_t& got) {
    got = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return EBADF;
    if (!plugged_) return EIO;
    const size_t n = std::min(max, released(clock_.nowMs()));
    for (; got < n; ++got) {
        buffer[got] = output_.front().byte;
        output_.pop_front();
    }
    return 0;
}

int SimBus::writeByte(uint8_t byte) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return EBADF;
    if (!plugged_) return EIO;
    const int64_t now = clock_.nowMs();
    if (byte == '\r') {
        logging_.byteTimesMs.push_back(now);
        log_.push_back(std::move(logging_));
        if (log_.size() > kMaxLoggedLines) log_.pop_front();
        logging_ = {};
    } else if (logging_.text.size() < kMaxLineBytes) {
        logging_.text += static_cast<char>(byte);
        logging_.byteTimesMs.push_back(now);
    }

    // At a rate other than theirs the boards hear garbage: the line is lost.
    if (hostBaud_ != boardBaud_) lineLost_ = true;
    if (byte == '\r') {
        lineEnded(now);
    } else if (byte == '\n' && line_.empty()) {
        // A line feed after a carriage return is not part of the next line.
    } else if (line_.size() >= kMaxLineBytes) {
        lineLost_ = true;
    } else {
        line_ += static_cast<char>(byte);
    }
    return 0;
}

int SimBus::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    output_.clear();
    return 0;
}

void SimBus::resetLine() {
    line_.clear();
    lineLost_ = false;
    logging_ = {};
}

// A carriage return reached the boards: what they heard of the line, after
// the line noise, goes to them.
void SimBus::lineEnded(int64_t nowMs) {
    if (linesUntilUnplug_ > 0 && --linesUntilUnplug_ == 0) {
        unplugLocked();
        return;
    }
    std::string line = line_;
    if (mishearing_ && !lineLost_ && line == mishearing_->line) {
        line = mishearing_->heard;
        loseNextReply_ = !mishearing_->answered;
        mishearing_.reset();
    }
    if (!lineLost_ && chance(faults_.commandLoss)) {
        HeardLine heard = LoseCommandByte(line, faultRng_);
        if (!heard.ended) return;  // the boards go on collecting the line
        line = std::move(heard.text);
    }
    if (!lineLost_ && chance(faults_.commandChange)) line = ChangeCommandByte(line, faultRng_);
    const bool lost = lineLost_;
    line_.clear();
    lineLost_ = false;
    if (!lost) handleLine(line, nowMs);
    loseNextReply_ = false;
}

bool SimBus::chance(double rate) {
    if (rate <= 0.0) return false;
    return static_cast<double>(faultRng_()) / 4294967296.0 < rate;
}

void SimBus::handleLine(const std::string& line, int64_t nowMs) {
    if (line.rfind("@@", 0) != 0) {
        for (auto& slot : slots_) slot.board.handleUnaddressed(line);
        return;
    }
    const size_t blank = line.find(' ', 2);
    const auto address =
        ParseAddress(line.substr(2, blank == std::string::npos ? std::string::npos : blank - 2));
    if (!address) return;
    const std::string command = blank == std::string::npos ? "" : line.substr(blank + 1);

    // Every addressed board acts; their answers are gathered in board order.
    std::vector<Outgoing> replies;
    for (auto& slot : slots_) {
        if (!slot.board.actsOn(*address)) continue;
        auto own = slot.board.handle(command, fixture_, nowMs);
        Outgoing out;
        out.latencyMs = kReplyLatencyMs + slot.extraLatencyMs;
        if (auto it = slot.overrides.find(command); it != slot.overrides.end()) {
            out.pieces = it->second.pieces;
            out.pauseMs = it->second.pauseMs;
        } else if (own) {
            out.pieces = {*own};
        }
        if (!out.pieces.empty()) replies.push_back(std::move(out));
    }
    if (replies.empty()) return;

    Outgoing reply = replies.front();  // without collisions only the first is heard
    if (collisions_ && replies.size() > 1) {
        std::vector<std::string> texts;
        for (const auto& r : replies) {
            std::string joined;
            for (const auto& piece : r.pieces) joined += piece;
            texts.push_back(joined);
            reply.latencyMs = std::max(reply.latencyMs, r.latencyMs);
        }
        reply.pieces = {CollideReplies(texts)};
        reply.pauseMs = 0;
    }
    if (chance(faults_.drop) || std::exchange(loseNextReply_, false)) return;
    if (chance(faults_.garble)) reply.pieces.front() = GarbleReply(reply.pieces.front(), faultRng_);
    if (chance(faults_.cut)) {
        std::string whole;
        for (const auto& piece : reply.pieces) whole += piece;
        reply.pieces = {CutReply(whole, faultRng_)};
    }
    send(reply, nowMs);
}

void SimBus::send(const Outgoing& reply, int64_t nowMs) {
    const double byteMs = 10.0 * 1000.0 / boardBaud_;  // start, 8 data and stop bit
    double t = std::max(static_cast<double>(nowMs + reply.latencyMs), lineFreeAtMs_);
    for (size_t i = 0; i < reply.pieces.size(); ++i) {
        if (i > 0) t += static_cast<double>(reply.pauseMs);
        for (char ch : reply.pieces[i]) {
            t += byteMs;
            output_.push_back({static_cast<uint8_t>(ch), t});
        }
    }
    lineFreeAtMs_ = t;
}

}  // namespace clinora::sim
