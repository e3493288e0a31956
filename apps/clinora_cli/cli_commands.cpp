#include "cli_commands.h"

#include <csignal>
#include <cstdio>

#include "app/device_status.h"
#include "link/link_words.h"
#include "link/termios_device.h"
#include "link/usb_search.h"
#include "sim/demo_bus.h"

namespace clinora::cli {

int Fail(CliIo& io, const std::string& text, int status) {
    io.err << "clinora-cli: " << text << std::endl;
    return status;
}

bool Stopped(const CliIo& io) { return io.stopRequested && io.stopRequested(); }

int StoppedStatus(const CliIo& io) {
    const int signal = io.stopSignal ? io.stopSignal() : 0;
    return kExitSignalBase + (signal > 0 ? signal : SIGINT);
}

int RunCommand(const CliOptions& options, CliBus& bus, CliIo& io) {
    if (io.stopRequested) bus.setStopCheck(io.stopRequested);
    switch (options.command) {
        case Command::Ports:
            return RunPorts(options, io);
        case Command::Identify:
            return RunIdentify(options, bus, io);
        case Command::Monitor:
            return RunMonitor(options, bus, io);
        case Command::Upload:
        case Command::Verify:
            return RunRecordedTransfer(options, bus, io);
        case Command::SetAddress:
            return RunSetAddress(options, bus, io);
        case Command::Unlock:
            return RunUnlock(options, io);
        case Command::RecordsList:
        case Command::RecordsShow:
        case Command::RecordsCheck:
        case Command::RecordsImport:
        case Command::RecordsSync:
            return RunRecords(options, io);
        case Command::Certificate:
            return RunCertificate(options, io);
    }
    return Fail(io, "unknown command", kExitUsage);
}

int RunPorts(const CliOptions& options, CliIo& io) {
    if (options.simulate) {
        io.out << "simulated-bus  (built-in simulated boards";
        for (const auto& address : sim::DemoBoardAddresses()) io.out << ' ' << address;
        io.out << ")\n";
        return kExitOk;
    }
    if (!options.port.empty()) {
        io.out << options.port << "  (named with --port)\n";
        return kExitOk;
    }
    const std::vector<ListedPort> ports = ListSerialPorts();
    const auto chosen = ChooseUsbPort(ports);
    for (const ListedPort& p : ports) {
        char ids[32] = "-";
        if (p.usb && p.vendorId >= 0) {
            std::snprintf(ids, sizeof ids, "%04x:%04x", static_cast<unsigned>(p.vendorId),
                          static_cast<unsigned>(p.productId < 0 ? 0 : p.productId));
        }
        io.out << p.path << "  " << (p.usb ? "usb " : "") << ids;
        if (!p.description.empty()) io.out << "  " << p.description;
        if (chosen && chosen->path == p.path) io.out << "  (the adapter the program uses)";
        io.out << '\n';
    }
    if (ports.empty())
        io.err << "No serial ports found." << std::endl;
    else if (!chosen)
        io.err << "No adapter with USB vendor id 0403 found." << std::endl;
    return kExitOk;
}

int RunIdentify(const CliOptions& options, CliBus& bus, CliIo& io) {
    std::string error;
    if (!bus.connect(options.address, error))
        return Stopped(io) ? Fail(io, "stopped", StoppedStatus(io)) : Fail(io, error);
    if (!bus.protocol().ReadDeviceInfo(options.address)) {
        if (Stopped(io)) return Fail(io, "stopped", StoppedStatus(io));
        return Fail(io, OnDevice("board " + options.address + " did not tell its identity",
                                 bus.portPath()));
    }
    const Readings readings = bus.state().snapshot().readings;
    for (const StatusRow& row : DeviceStatusRows(&readings))
        io.out << row.label << ' ' << row.value << '\n';
    return kExitOk;
}

int RunSetAddress(const CliOptions& options, CliBus& bus, CliIo& io) {
    const std::string& from = options.address;
    const std::string& to = options.newAddress;
    std::string error;
    if (!bus.connect(from, error))
        return Stopped(io) ? Fail(io, "stopped", StoppedStatus(io)) : Fail(io, error);
    bus.state().locked([&](SharedData& d) {
        d.request.targetAddress = from;
        d.request.newAddress = to;
    });
    BusProtocol& protocol = bus.protocol();
    const std::string stopped = "stopped before board " + from + " took the address " + to;
    // Two boards at one address would answer every command at once.
    switch (protocol.CheckAddressFree(to, protocol.repeatAttempts())) {
        case AddressCheck::Free:
            break;
        case AddressCheck::Used:
            return Fail(io, AddressInUseText(to) + " (" + bus.portPath() + "); board " + from +
                                " keeps its address");
        case AddressCheck::Unknown:
            if (Stopped(io)) return Fail(io, stopped, StoppedStatus(io));
            return Fail(io, OnDevice("could not ask whether a board answers at " + to,
                                     bus.portPath()));
    }
    // Tried as the Settings page tries it, with the same pause between attempts.
    bool taken = false;
    for (int attempt = 1; attempt <= kAddressChangeAttempts && !taken; ++attempt) {
        if (attempt > 1) {
            protocol.pause(1000);
            io.err << AddressAttemptText(from, to, attempt) << std::endl;
        }
        taken = protocol.GiveAddress();
        if (!taken && Stopped(io)) return Fail(io, stopped, StoppedStatus(io));
    }
    if (!taken) return Fail(io, OnDevice(AddressNotTakenText(from, to), bus.portPath()));
    if (!protocol.ProbeDevice(to, protocol.repeatAttempts()))
        return Fail(io, OnDevice("no board answers at the new address " + to, bus.portPath()));
    io.err << "Address changed: " << from << " -> " << to << std::endl;
    return kExitOk;
}

int RunUnlock(const CliOptions& options, CliIo& io) {
    if (const int code = ClearExclusiveUse(options.port); code != 0)
        return Fail(io, PortFailureText(options.port, code));
    io.err << "Exclusive use of " << options.port << " cleared" << std::endl;
    return kExitOk;
}

}  // namespace clinora::cli
