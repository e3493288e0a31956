// Framing and the reply waits every command is built on.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "command_line.h"
#include "protocol.h"

namespace clinora {

namespace {

constexpr size_t kMaxFindLength = 63;
// The longest a pause sleeps before it looks whether to stop.
constexpr int64_t kPauseStepMs = 50;
// Time for the boards to answer whatever line a bare line end completed.
constexpr int64_t kLineEndAnswerMs = 200;

}  // namespace

BusProtocol::BusProtocol(SharedState& state, Clock& clock, std::function<void(int, int)> notify)
    : state_(state), clock_(clock), notify_(std::move(notify)) {}

void BusProtocol::notify(int code, int detail) {
    if (notify_) notify_(code, detail);
}

void BusProtocol::zeroBuffer() { buffer_.fill(0); }

long BusProtocol::collect(size_t& collected) {
    const long n = state_.port().ReadAppend(buffer_.data(), collected);
    if (n > 0) collected += static_cast<size_t>(n);
    return n;
}

std::string BusProtocol::target() const {
    return state_.locked([](const SharedData& d) { return d.request.targetAddress; });
}

void BusProtocol::setTarget(const std::string& address) {
    state_.locked([&](SharedData& d) { d.request.targetAddress = address; });
}

void BusProtocol::pause(int64_t ms) {
    while (ms > 0 && !stopping()) {
        const int64_t step = std::min(ms, kPauseStepMs);
        clock_.sleepMs(step);
        ms -= step;
    }
}

bool BusProtocol::OpenPort(int baud) {
    if (!OpenBusPort(state_, baud)) return false;
    // A program that ended in the middle of a line left it open on the
    // boards' side: end it before the first command of ours joins it.
    SerialPort& port = state_.port();
    if (port.WriteByte('\r')) {
        pause(kLineEndAnswerMs);
        port.Discard();
    }
    return true;
}

bool BusProtocol::SendCommand(const std::string& address, const std::string& command) {
    // Refuse anything that could put a second command on the line before a
    // single byte goes out.
    const auto body = CommandLineBody(address, command);
    if (!body || stopping()) return false;
    // Once begun, a line goes out whole and paced, whatever happens meanwhile:
    // the boards must never be left with half a command.
    SerialPort& port = state_.port();
    for (char c : *body) {
        if (!port.WriteByte(static_cast<uint8_t>(c))) return false;
        clock_.sleepMs(10);
    }
    return port.WriteByte('\r');
}

bool BusProtocol::Transact(const std::string& address, const std::string& command, int timeoutMs) {
    if (!IsValidAddress(address)) return false;
    const std::string find = command.substr(0, kMaxFindLength);
    zeroBuffer();
    state_.port().Discard();
    if (!SendCommand(address, command)) return false;
    pause(500);
    if (!awaitLine(timeoutMs)) return false;
    return std::strstr(reply(), find.c_str()) != nullptr && std::strchr(reply(), '?') == nullptr;
}

bool BusProtocol::awaitLine(int timeoutMs) {
    int64_t deadline = clock_.nowMs() + timeoutMs;
    size_t collected = 0;
    for (;;) {
        if (collect(collected) > 0) {
            if (std::strchr(reply(), '\r') != nullptr) return true;
            deadline = clock_.nowMs() + timeoutMs;
        } else {
            if (clock_.nowMs() > deadline || !state_.port().isOpen() || stopping()) return false;
            clock_.sleepMs(50);
        }
    }
}

// Every wait gives up at once when the port has been closed under it, or
// when the worker is being stopped.
bool BusProtocol::waitReply(const std::string& find, const std::string& errorFind,
                            int firstWindowMs, int pollMs) {
    int64_t deadline = clock_.nowMs() + firstWindowMs;
    size_t collected = 0;
    for (;;) {
        if (collect(collected) > 0) {
            if (std::strchr(reply(), '\r') != nullptr) {
                const bool error = std::strchr(reply(), '?') != nullptr;
                // An error reply is not final: keep listening.
                if (!error || std::strstr(reply(), errorFind.c_str()) == nullptr) {
                    return !error && std::strstr(reply(), find.c_str()) != nullptr;
                }
            }
            deadline = clock_.nowMs() + 2000;
        } else {
            if (clock_.nowMs() > deadline || !state_.port().isOpen() || stopping()) return false;
            clock_.sleepMs(pollMs);
        }
    }
}

bool BusProtocol::repeated(const std::function<bool()>& exchange) {
    wroteElsewhere_ = false;
    for (int attempt = 0; attempt < repeatAttempts_; ++attempt) {
        if (exchange()) return true;
        if (wroteElsewhere_ || !state_.port().isOpen() || stopping()) break;
    }
    return false;
}

bool BusProtocol::TransactQuick(const std::string& address, const std::string& command) {
    if (!IsValidAddress(address)) return false;
    zeroBuffer();
    state_.port().Discard();
    if (!SendCommand(address, command)) return false;
    const std::string find = command.substr(0, kMaxFindLength);
    return waitReply(find, find, 500, 50);
}

bool BusProtocol::StopTrigger() {
    zeroBuffer();
    if (!SendCommand(kBroadcastAddress, "TR 0")) return false;
    // Two pauses on purpose: 200 ms in all before the echo is awaited.
    pause(100);
    pause(100);
    return waitReply("TR", "TR", 1500, 50);
}

int BusProtocol::probeOnce(const std::string& address,
                           const std::function<bool(const std::string&)>& enough) {
    SerialPort& port = state_.port();
    if (!SendCommand(address, "")) return -1;
    pause(200);
    const int64_t deadline = clock_.nowMs() + 2000;
    uint8_t scratch[kReplyBufferSize];
    // Each attempt judges its own answer: the start of a banner that came too
    // late for the last one must not complete a garbled one now.
    std::string text;
    for (;;) {
        const size_t n = port.Read(scratch, sizeof scratch);
        if (n == 0) {
            if (clock_.nowMs() > deadline || !port.isOpen() || stopping()) return 0;
            clock_.sleepMs(50);
            continue;
        }
        for (size_t i = 0; i < n; ++i) {
            const char c = static_cast<char>(std::toupper(scratch[i]));
            if (c == '\n') continue;
            if (c == '\r' && text.empty()) continue;
            text += c;
        }
        if (enough(text)) return 1;
    }
}

bool BusProtocol::ProbeDevice(const std::string& address, int attempts) {
    state_.locked([](SharedData& d) { d.readings.unitsLabel = "Cal"; });
    if (!IsValidAddress(address)) return false;
    SerialPort& port = state_.port();
    port.Discard();
    bool found = false;
    const auto banner = [&](const std::string& text) {
        if (text.find('\r') == std::string::npos) return false;
        if (text.find("TUNNEL") != std::string::npos && text.find("PROFILE") != std::string::npos) {
            state_.locked([](SharedData& d) { d.readings.unitsLabel = "mm"; });
            return true;
        }
        return text.find("ZOV") != std::string::npos;
    };
    for (int attempt = 0; attempt < attempts && !found; ++attempt) {
        const int got = probeOnce(address, banner);
        if (got < 0) break;
        found = got == 1;
        if (!found) port.Discard();
    }
    port.Discard();
    return found;
}

}  // namespace clinora
