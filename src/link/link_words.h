#pragma once

#include <string>

namespace clinora {

// The words the program and clinora-cli use for what goes wrong on the link:
// one table, so that both say the same thing about the same fault, and every
// text names the device or the board it is about.

inline constexpr const char* kNoAdapterText = "No USB serial adapter found";

// Why the port at `path` cannot be used, from the system's error code.
std::string PortFailureText(const std::string& path, int errorCode);

// The port is open but no board answered on it.
std::string NoAnswerText(const std::string& path);

// No board answered at `address` (empty: any board) on `path`, at either rate.
std::string NoBoardAtText(const std::string& address, const std::string& path);

// A failure on the bus, with the device it happened on: "<what> on <device>".
std::string OnDevice(const std::string& what, const std::string& path);

// The command that clears an exclusive-use flag a terminal was left with.
std::string UnlockCommand(const std::string& path);

// What a memory cell of a board holds, as the program uses it ("axis B
// constants", "device type" ...).
std::string CellUse(int cell);

// How a command changed a cell the transfer did not mean to change.
enum class StrayKind {
    Written,     // the board's echo named the cell and the cell holds the bytes
    Possible,    // a command without a readable echo may have written the cell
    Restored,    // a cell was written by mistake and its former byte put back
    OtherBoard,  // a command for this board was taken by another one
    Unchecked,   // commands went unanswered and their cells could not be read
};

struct StrayReport {
    std::string address;  // the board the transfer was for
    int cell = 0;         // the first cell
    int cells = 1;        // how many, from `cell` on
    StrayKind kind = StrayKind::Written;
    bool operator==(const StrayReport&) const = default;
};

// One line for the user: what happened, to which cell of which board, and
// what to do about it.
std::string StrayWriteText(const StrayReport& report);

// Whether the board is left as the transfer meant (only a restored cell).
inline bool StrayIsMended(const StrayReport& report) { return report.kind == StrayKind::Restored; }

// Address changes (the Settings page and clinora-cli say the same).
// Another board already answers at `address`: nothing was sent to change it.
std::string AddressInUseText(const std::string& address);
// Attempt `attempt` of kAddressChangeAttempts at giving `board` `address`.
std::string AddressAttemptText(const std::string& board, const std::string& address, int attempt);
// Every attempt went unanswered and nothing answers at the new address.
std::string AddressNotTakenText(const std::string& board, const std::string& address);
// The board answers at its new address, but its type letters were not written.
std::string TypeNotWrittenText(const std::string& board, const std::string& address);

// A transfer stopped while `address` was being written: its constants of
// `axes` ("axis A", "axes A and B") may be half new, half old.
std::string PartialCalibrationText(const std::string& address, const std::string& axes);

}  // namespace clinora
