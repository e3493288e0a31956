// Command texts of a simulated board and their replies.
#include <algorithm>
#include <cstdio>

#include "link/protocol.h"
#include "sim_board.h"

namespace clinora::sim {

namespace {

constexpr int kHighestAssignable = 65533;  // addresses a board may be given

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// Strict number parsing: every character must be a digit of the base.
std::optional<long> ParseNumber(const std::string& text, int base, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    long value = 0;
    for (char ch : text) {
        int digit;
        if (ch >= '0' && ch <= '9') {
            digit = ch - '0';
        } else if (base == 16 && ch >= 'A' && ch <= 'F') {
            digit = ch - 'A' + 10;
        } else if (base == 16 && ch >= 'a' && ch <= 'f') {
            digit = ch - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

std::optional<uint8_t> ParseByte(const std::string& text) {
    const auto v = ParseNumber(text, 16, 8);
    if (!v || *v > 0xFF) return std::nullopt;
    return static_cast<uint8_t>(*v);
}

std::string Echo(const std::string& command) { return command + "\r\n"; }
std::string Answer(const std::string& command, const std::string& value) {
    return command + " " + value + "\r\n";
}
std::string Refuse(const std::string& command) { return command + " ?\r\n"; }

}  // namespace

std::optional<std::string> SimBoard::handle(const std::string& command, const Fixture& fixture,
                                            int64_t nowMs) {
    const Tokens t = Split(command);
    // The password opens an address change for the next command only.
    const bool unlocked = unlocked_;
    unlocked_ = false;
    if (t.size() == 2 && t[0] == "PSW" && t[1] == kBusPassword) {
        unlocked_ = true;
        return std::nullopt;
    }
    if (!t.empty() && t[0] == "DA") return addressCommand(command, t, unlocked);
    return dispatch(command, t, fixture, nowMs);
}

std::optional<std::string> SimBoard::dispatch(const std::string& command, const Tokens& t,
                                              const Fixture& fixture, int64_t nowMs) {
    if (t.empty()) return banner() + "\r\n";  // the probe
    const std::string& name = t[0];
    if (name == "SR" && t.size() == 1) return reading(command, fixture, nowMs);
    if (name == "TR" && t.size() == 1) {
        trigger_ = TriggerMode::Single;
        readyAtMs_ = std::max(readyAtMs_, nowMs + kTriggerMs);
        return Echo(command);
    }
    if (name == "TR" && t.size() == 2 && (t[1] == "0" || t[1] == "1")) {
        trigger_ = t[1] == "1" ? TriggerMode::Continuous : TriggerMode::Stopped;
        return Echo(command);
    }
    if (name == "RU" && t.size() == 2) {
        const auto units = ParseNumber(t[1], 10, 1);
        if (!units || *units > kUnitsSine) return Refuse(command);
        units_ = static_cast<int>(*units);
        return Echo(command);
    }
    if (name == "I" && t.size() == 1) {
        loadConstants();
        return Echo(command);
    }
    char text[64];
    if (name == "F" && t.size() == 1) {
        std::snprintf(text, sizeof text, "%.2f", config_.firmware);
        return Answer(command, text);
    }
    if (name == "SN" && t.size() == 1) return Answer(command, config_.serial);
    if (name == "BR" && t.size() == 1) {
        std::snprintf(text, sizeof text, "%.2f,2", config_.revision);  // revision, axis count
        return Answer(command, text);
    }
    if (name == "AR" && t.size() == 3 && t[1] == "60317" && t[2] == "60317") {
        address_ = kFactoryAddress;
        return std::nullopt;
    }
    if (name == "MODE" && t.size() == 2) {
        if (const auto m = ParseNumber(t[1], 10, 2)) {
            mode_ = static_cast<int>(*m);
            return std::nullopt;
        }
        return Refuse(command);
    }
    if (name == "RE" || name == "WE" || name == "WM") return memoryCommand(command, t);
    return Refuse(command);
}

std::optional<std::string> SimBoard::addressCommand(const std::string& command, const Tokens& t,
                                                    bool unlocked) {
    if (t.size() == 1) return Answer(command, std::to_string(address_));
    if (t.size() != 3 || !unlocked) return Refuse(command);
    const auto first = ParseNumber(t[1], 10, 5);
    const auto second = ParseNumber(t[2], 10, 5);
    if (!first || !second || *first != *second || *first < 1 || *first > kHighestAssignable) {
        return Refuse(command);
    }
    address_ = static_cast<int>(*first);
    return Answer("DA", std::to_string(address_));
}

std::optional<std::string> SimBoard::memoryCommand(const std::string& command, const Tokens& t) {
    const auto cell = t.size() >= 2 ? ParseByte(t[1]) : std::nullopt;
    if (!cell) return Refuse(command);
    if (t[0] == "RE") {
        if (t.size() != 2) return Refuse(command);
        char value[8];
        std::snprintf(value, sizeof value, "%.2X", memory_.get(*cell));
        return Answer(command, value);
    }
    if (t[0] == "WE") {
        const auto value = t.size() == 3 ? ParseByte(t[2]) : std::nullopt;
        if (!value) return Refuse(command);
        memory_.set(*cell, *value);
        return Echo(command);
    }
    // WM <cell> <count> <byte> ...: all bytes must be there and fit in memory.
    const auto count = t.size() >= 3 ? ParseByte(t[2]) : std::nullopt;
    if (!count || *count == 0 || t.size() != 3u + *count || *cell + *count > kMemorySize) {
        return Refuse(command);
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 3; i < t.size(); ++i) {
        const auto b = ParseByte(t[i]);
        if (!b) return Refuse(command);
        bytes.push_back(*b);
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        memory_.set(static_cast<uint8_t>(*cell + i), bytes[i]);
    return Echo(command);
}

void SimBoard::handleUnaddressed(const std::string& line) {
    const Tokens t = Split(line);
    if (t.size() == 2 && t[0] == "MODE") {
        if (const auto m = ParseNumber(t[1], 10, 2)) mode_ = static_cast<int>(*m);
    }
}

}  // namespace clinora::sim
