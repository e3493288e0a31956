#pragma once

#include <optional>
#include <string>

namespace clinora {

// A bus address text: 1 to 5 decimal digits.
bool IsValidAddress(const std::string& address);

// A command text that cannot break the framing: no CR, no LF, no "@@".
bool IsSafeCommand(const std::string& command);

// The bytes of one command line without its closing carriage return:
// "@@" + address + " " + command, or the command alone for an empty address.
// Empty when the address (if any) or the command is unsafe.
std::optional<std::string> CommandLineBody(const std::string& address,
                                           const std::string& command);

// Hexadecimal as the boards take it: upper case, no leading zeros ("%X").
std::string Hex(unsigned value);

}  // namespace clinora
