// Framing and the reply waits every command is built on.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "command_line.h"
#include "protocol.h"

namespace clinora {

namespace {

constexpr size_t kMaxFindLength = 63;

// The first two words of a line, up to its line end.
std::pair<std::string, std::string> FirstWords(const std::string& text) {
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) return {line, {}};
    const size_t next = line.find(' ', blank + 1);
    return {
        line.substr(0, blank),
        line.substr(blank + 1, next == std::string::npos ? std::string::npos : next - blank - 1)};
}

// Cells a board may have written when it misheard the cell text of a memory
// write: one character of it changed or lost. A write of `span` bytes covers
// that many cells from each.
std::vector<int> StrayCells(const std::string& cellText, int span) {
    static const std::string kDigits = "0123456789ABCDEFabcdef";
    std::vector<std::string> texts;
    for (size_t i = 0; i < cellText.size(); ++i) {
        for (char d : kDigits) texts.push_back(cellText.substr(0, i) + d + cellText.substr(i + 1));
        texts.push_back(cellText.substr(0, i) + cellText.substr(i + 1));
    }
    std::vector<int> cells;
    for (const auto& t : texts) {
        if (t.empty() || t.size() > 2) continue;
        const int start = static_cast<int>(std::strtol(t.c_str(), nullptr, 16));
        for (int k = 0; k < span; ++k) cells.push_back(start + k);
    }
    return cells;
}

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
            if (clock_.nowMs() > deadline || !state_.port().isOpen()) return false;
            clock_.sleepMs(pollMs);
        }
    }
}

bool BusProtocol::repeated(const std::function<bool()>& exchange) {
    wroteElsewhere_ = false;
    for (int attempt = 0; attempt < repeatAttempts_; ++attempt) {
        if (exchange()) return true;
        if (wroteElsewhere_ || !state_.port().isOpen()) break;
    }
    return false;
}

// What a memory write that was not confirmed may have done. An echo of the
// same cell (another value, or a refusal) leaves the other cells alone, and
// sending the line again mends this one. An echo of another cell shows the
// board heard the line wrong and wrote there: sending again cannot mend that
// cell, so the operation fails at once and its step starts over. Without a
// readable echo nobody knows where the bytes went.
void BusProtocol::judgeFailedWrite(const std::string& command) {
    const char* text = reply();
    const auto [word, cell] = FirstWords(text);
    const auto [sentWord, sentCell] = FirstWords(command);
    const bool echoed = std::strchr(text, '\r') != nullptr && word == sentWord && !cell.empty();
    if (echoed && cell == sentCell) return;
    if (echoed && std::strchr(text, '?') == nullptr) {
        wroteElsewhere_ = true;
        return;
    }
    for (int c : StrayCells(sentCell, sentWord == "WM" ? 4 : 1)) strayCells_.insert(c);
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
    clock_.sleepMs(100);
    clock_.sleepMs(100);
    return waitReply("TR", "TR", 1500, 50);
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
