#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "cli_bus.h"
#include "cli_options.h"
#include "records/certificate.h"
#include "records/record_store.h"

namespace clinora::cli {

// Where a command's results, messages and progress go.
struct CliIo {
    std::ostream& out;                    // results: ports, identity, readings
    std::ostream& err;                    // messages and progress
    bool progressInPlace = false;         // standard error is a terminal: rewrite one line
    std::function<bool()> stopRequested;  // Ctrl-C or a termination signal
    std::function<int()> stopSignal;      // which signal stopped the tool (0: SIGINT)
    // What a second signal says when it ends the tool at once (empty: nothing).
    std::function<void(const std::string&)> secondStopNote;
    // Renders a certificate's PDF into a file (false and why when it cannot);
    // empty when the tool was built without the user interface.
    std::function<bool(const records::Certificate&, const std::filesystem::path&, std::string*)>
        writePdf{};
};

// Runs one command on the bus and returns the exit status.
int RunCommand(const CliOptions& options, CliBus& bus, CliIo& io);

// The commands (cli_commands.cpp, cli_monitor.cpp, cli_transfer.cpp).
int RunPorts(const CliOptions& options, CliIo& io);
int RunIdentify(const CliOptions& options, CliBus& bus, CliIo& io);
int RunSetAddress(const CliOptions& options, CliBus& bus, CliIo& io);
int RunMonitor(const CliOptions& options, CliBus& bus, CliIo& io);
int RunTransfer(const CliOptions& options, CliBus& bus, CliIo& io);
// upload and verify, then their record (cli_records.cpp).
int RunRecordedTransfer(const CliOptions& options, CliBus& bus, CliIo& io);
// records list, show, check, import and sync: no bus (cli_records.cpp).
int RunRecords(const CliOptions& options, CliIo& io);
// certificate: from the records, no bus (cli_certificate.cpp).
int RunCertificate(const CliOptions& options, CliIo& io);

// The working folder of the records commands, and its records for reading:
// nothing (and a note) when it has none yet.
std::filesystem::path WorkingFolder(const CliOptions& options);
std::unique_ptr<records::RecordStore> OpenForReading(const CliOptions& options, CliIo& io);
// How long the tool waits for a history server that does not answer.
inline constexpr int kServerTimeoutSeconds = 5;
int RunUnlock(const CliOptions& options, CliIo& io);

// Ctrl-C or SIGTERM has stopped the tool.
bool Stopped(const CliIo& io);
// The exit status of a tool stopped by a signal: 130 (SIGINT) or 143 (SIGTERM).
int StoppedStatus(const CliIo& io);

// "clinora-cli: <text>" on standard error; returns `status`.
int Fail(CliIo& io, const std::string& text, int status = kExitFailure);

}  // namespace clinora::cli
