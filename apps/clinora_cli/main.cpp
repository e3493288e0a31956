// clinora-cli: the boards on the bus from the command line (no user
// interface): ports, identify, monitor, upload, verify, set-address, the records
// and certificates.
#include <unistd.h>

#include <iostream>
#include <memory>

#include "cli_bus.h"
#include "cli_commands.h"
#include "cli_options.h"
#include "link/termios_device.h"
#include "product_version.h"
#include "sim/demo_bus.h"
#include "stop_signal.h"
#ifdef CLINORA_CLI_PDF
#include "cli_certificate_pdf.h"
#endif

int main(int argc, char** argv) {
    using namespace clinora;
    using Kind = cli::ParsedArguments::Kind;
    const cli::ParsedArguments parsed =
        cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case Kind::Help:
            std::cout << (parsed.helpFor ? cli::CommandUsageText(*parsed.helpFor)
                                         : cli::UsageText());
            return cli::kExitOk;
        case Kind::Version:
            std::cout << VersionLine("clinora-cli") << '\n';
            return cli::kExitOk;
        case Kind::UsageError:
            std::cerr << "clinora-cli: " << parsed.error
                      << "\nTry 'clinora-cli --help' for more information.\n";
            return cli::kExitUsage;
        case Kind::Run:
            break;
    }
    const cli::CliOptions& options = parsed.options;

    InstallStopSignals();
    RealClock clock;
    std::unique_ptr<SerialDevice> device;
    if (options.simulate) {
        device = sim::MakeDemoBus(clock);
    } else {
        device = std::make_unique<TermiosDevice>();
    }
    cli::CliBus bus(*device, clock, options.simulate ? "simulated-bus" : options.port);
    cli::CliIo io{std::cout,     std::cerr,  isatty(STDERR_FILENO) == 1,
                  StopRequested, StopSignal, SetSecondStopNote};
#ifdef CLINORA_CLI_PDF
    std::unique_ptr<QGuiApplication> pdf;
    if (options.command == cli::Command::Certificate) pdf = cli::EnablePdf(io, argc, argv);
#endif
    return cli::RunCommand(options, bus, io);
}
