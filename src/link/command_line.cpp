#include "command_line.h"

#include <cctype>
#include <cstdio>

namespace clinora {

bool IsValidAddress(const std::string& address) {
    if (address.empty() || address.size() > 5) return false;
    for (char c : address) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

bool IsSafeCommand(const std::string& command) {
    return command.find('\r') == std::string::npos && command.find('\n') == std::string::npos &&
           command.find("@@") == std::string::npos;
}

std::optional<std::string> CommandLineBody(const std::string& address,
                                           const std::string& command) {
    if (!IsSafeCommand(command)) return std::nullopt;
    if (address.empty()) return command;
    if (!IsValidAddress(address)) return std::nullopt;
    return "@@" + address + " " + command;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

}  // namespace clinora
