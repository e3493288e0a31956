// Framing and the reply waits every command is built on.
#include <cctype>
#include <cstring>

#include "command_line.h"
#include "protocol.h"

namespace clinora {

namespace {

constexpr size_t kMaxFindLength = 63;

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

bool BusProtocol::SendCommand(const std::string& address, const std::string& command) {
    // Refuse anything that could put a second command on the line before a
    // single byte goes out.
    const auto body = CommandLineBody(address, command);
    if (!body) return false;
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
    clock_.sleepMs(500);
    int64_t deadline = clock_.nowMs() + timeoutMs;
    size_t collected = 0;
    for (;;) {
        if (collect(collected) > 0) {
            if (std::strchr(reply(), '\r') != nullptr) {
                return std::strstr(reply(), find.c_str()) != nullptr &&
                       std::strchr(reply(), '?') == nullptr;
            }
            deadline = clock_.nowMs() + timeoutMs;
        } else {
            if (clock_.nowMs() > deadline || !state_.port().isOpen()) return false;
            clock_.sleepMs(50);
        }
    }
}

// Every wait gives up at once when the port has been closed under it (the
// worker is being stopped): no reply can come.
bool BusProtocol::waitReply(const std::string& find, int firstWindowMs, int pollMs,
                            bool needCarriageReturn) {
    int64_t deadline = clock_.nowMs() + firstWindowMs;
    size_t collected = 0;
    for (;;) {
        if (collect(collected) > 0) {
            if (!needCarriageReturn || std::strchr(reply(), '\r') != nullptr) {
                if (std::strstr(reply(), find.c_str()) == nullptr) return false;
                if (std::strchr(reply(), '?') == nullptr) return true;
                // An error reply is not final: keep listening.
            }
            deadline = clock_.nowMs() + 2000;
        } else {
            if (clock_.nowMs() > deadline || !state_.port().isOpen()) return false;
            clock_.sleepMs(pollMs);
        }
    }
}

bool BusProtocol::TransactQuick(const std::string& address, const std::string& command) {
    if (!IsValidAddress(address)) return false;
    zeroBuffer();
    state_.port().Discard();
    if (!SendCommand(address, command)) return false;
    return waitReply(command.substr(0, kMaxFindLength), 500, 50, true);
}

bool BusProtocol::StopTrigger() {
    zeroBuffer();
    if (!SendCommand(kBroadcastAddress, "TR 0")) return false;
    // Two pauses on purpose: 200 ms in all before the echo is awaited.
    clock_.sleepMs(100);
    clock_.sleepMs(100);
    return waitReply("TR", 1500, 50, true);
}

bool BusProtocol::ProbeDevice(const std::string& address, int attempts) {
    state_.locked([](SharedData& d) { d.readings.unitsLabel = "Cal"; });
    if (!IsValidAddress(address)) return false;
    SerialPort& port = state_.port();
    port.Discard();
    std::string text;
    bool found = false;
    uint8_t scratch[kReplyBufferSize];
    for (int attempt = 0; attempt < attempts && !found; ++attempt) {
        if (!SendCommand(address, "")) break;
        clock_.sleepMs(200);
        const int64_t deadline = clock_.nowMs() + 2000;
        while (!found) {
            const size_t n = port.Read(scratch, sizeof scratch);
            if (n == 0) {
                if (clock_.nowMs() > deadline || !port.isOpen()) break;
                clock_.sleepMs(50);
                continue;
            }
            for (size_t i = 0; i < n; ++i) {
                const char c = static_cast<char>(std::toupper(scratch[i]));
                if (c == '\n') continue;
                if (c == '\r' && text.empty()) continue;
                text += c;
            }
            if (text.find('\r') == std::string::npos) continue;
            if (text.find("TUNNEL") != std::string::npos &&
                text.find("PROFILE") != std::string::npos) {
                state_.locked([](SharedData& d) { d.readings.unitsLabel = "mm"; });
                found = true;
            } else if (text.find("ZOV") != std::string::npos) {
                found = true;
            }
        }
    }
    port.Discard();
    return found;
}

}  // namespace clinora
