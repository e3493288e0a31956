#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clinora::cli {

// Exit statuses of clinora-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // on the bus or in a file
inline constexpr int kExitUsage = 2;
// Written and verified, but a garbled command changed a cell besides them.
inline constexpr int kExitStrayWrite = 3;
// Stopped by a signal: 128 + its number (130 for Ctrl-C, 143 for SIGTERM).
inline constexpr int kExitSignalBase = 128;

enum class Command {
    Ports,
    Identify,
    Monitor,
    Upload,
    Verify,
    SetAddress,
    Unlock,  // before the records commands: they come last
    RecordsList,
    RecordsShow,
    RecordsCheck,
    RecordsImport,
    RecordsSync,
    Certificate
};

// How `records list` prints.
enum class ListFormat { Table, Csv, Json };

// What `certificate` writes.
enum class CertificateFormat { Pdf, Dcc, Both };

// How the monitor asks the boards for readings and shows them.
enum class Units { Degrees, Sine, Volts, Counts };

// One run of the tool, as the command line gives it.
struct CliOptions {
    Command command = Command::Ports;
    std::string port;         // a device path instead of the adapter search
    bool simulate = false;    // the built-in simulated boards
    std::string address;      // canonical decimal; empty when not given
    std::string newAddress;   // set-address: the address to give
    std::string file;         // upload, verify: the calibration data file
    bool biaxial = false;     // upload both axes
    bool verifyAfter = true;  // upload: verify what was written (--no-verify: not)
    bool force = false;       // upload, verify: a file named for another board is taken
    std::optional<int> axis;  // axis selector (1 = A, 0 = B); else from the file name
    int intervalSeconds = 2;
    Units units = Units::Degrees;
    std::string logFile;  // empty: no reading log
    int count = 0;        // readings to take; 0 = until interrupted
    // Records.
    std::string workdir;        // working folder; empty: Documents/Clinora
    std::string historyServer;  // connection URI; empty: none
    std::string station;        // station name; empty: the host name
    std::string serial;         // records list filters
    std::string since, until;   // UTC bounds as RecordFilter takes them
    ListFormat format = ListFormat::Table;
    std::string record;        // records show, certificate: a UUID (or its start)
    std::string importFolder;  // records import
    // certificate
    bool latest = false;  // of --serial: only the newest calibration and test
    std::string outFolder;  // empty: certificates in the working folder
    CertificateFormat certificateFormat = CertificateFormat::Both;
    bool certificateFormatGiven = false;
    std::string laboratory, laboratoryAddress;
};

// What the command line asks for.
struct ParsedArguments {
    enum class Kind { Run, Help, Version, UsageError };
    Kind kind = Kind::UsageError;
    CliOptions options;
    std::string error;  // what is wrong, for UsageError
    // Help: the command named beside --help, whose own help is wanted.
    std::optional<Command> helpFor;
};

// Reads the arguments (without the program name). Options may come before or
// after the command; "--name=value" is the same as "--name value".
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

std::string UsageText();
// One command's usage, what it does and every option it takes.
std::string CommandUsageText(Command command);

// A bus address as the boards take it: a whole number 0..65535, written
// without leading zeros. Empty for anything else.
std::optional<std::string> CanonicalAddress(const std::string& text);

}  // namespace clinora::cli
