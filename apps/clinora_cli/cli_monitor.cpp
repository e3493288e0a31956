// monitor: one line per reading, and the Monitor page's reading log.
#include <algorithm>
#include <ctime>

#include "app/monitor_display.h"
#include "app/reading_log.h"
#include "cli_commands.h"
#include "link/link_words.h"

namespace clinora::cli {
namespace {

// What the boards are asked for and how the monitor shows it; the labels are
// the Monitor page's unit labels.
struct UnitSetup {
    int readingType = kReadingCalibrated;
    int degreesFlag = 0;
    std::string label;
};

UnitSetup SetupFor(Units units) {
    switch (units) {
        case Units::Degrees:
            return {kReadingCalibrated, 1, UnitForEntry(false, 1).label};
        case Units::Sine:
            return {kReadingCalibrated, 0, UnitForEntry(false, 0).label};
        case Units::Volts:
            return {kReadingVolts, 0, UnitForEntry(true, 1).label};
        case Units::Counts:
            return {kReadingRawBits, 0, UnitForEntry(true, 2).label};
    }
    return {};
}

std::string PrintedLine(const LogReading& r) {
    return FormatLogTime(r.time) + "  A " + r.axisA + " " + TiltLabel(r.unit, true, r.deviceUnits) +
           "  B " + r.axisB + " " + TiltLabel(r.unit, false, r.deviceUnits) + "  " + r.temperature;
}

// After this many failed readings in a row the board counts as gone (the
// worker reconnects after as many).
constexpr int kFailuresInARow = 3;

}  // namespace

int RunMonitor(const CliOptions& options, CliBus& bus, CliIo& io) {
    // The log first: a log that cannot be written fails before the bus is used.
    ReadingLogFile log;
    if (!options.logFile.empty() && (!log.open(options.logFile) || !log.writeHeaderIfEmpty()))
        return Fail(io, std::string("Failed to open log file. (") + options.logFile + ")");

    const UnitSetup setup = SetupFor(options.units);
    bus.state().locked([&](SharedData& d) {
        d.settings.calibrationMode = false;
        d.settings.fahrenheit = false;
        d.settings.monitorUnits = setup.readingType;
        d.settings.monitorUnitsUser = setup.degreesFlag;
        d.settings.continuousReadOn = true;
    });
    std::string error;
    if (!bus.connect(options.address, error)) return Fail(io, error);
    BusProtocol& protocol = bus.protocol();
    std::string target = options.address;
    if (target.empty()) {
        // Any board answered; its banner tells whether axis B reads in millimetres.
        const std::string found = bus.state().snapshot().readings.foundAddress;
        if (CanonicalAddress(found)) protocol.ProbeDevice(found, protocol.repeatAttempts());
        target = kBroadcastAddress;
    }
    if (!protocol.ReadDeviceInfo(target))
        io.err << "clinora-cli: the board did not tell its serial number" << std::endl;
    // As the worker does before it reads continuously: the units (the boards
    // take no units command at 9600 baud), then the trigger mode.
    if (bus.baud() == 115200 && !protocol.SetReadingUnits(setup.readingType))
        return Fail(io, OnDevice("the boards did not take the reading units", bus.portPath()));
    if (!protocol.SetTriggerMode(true))
        return Fail(io, OnDevice("the boards did not take the trigger mode", bus.portPath()));
    io.err << "Monitoring " << (options.address.empty() ? "the board" : "board " + options.address)
           << " on " << bus.portPath() << " every " << options.intervalSeconds << " s"
           << (options.count == 0 ? "; Ctrl-C stops." : ".") << std::endl;

    Clock& clock = bus.clock();
    const auto stopped = [&] { return io.stopRequested && io.stopRequested(); };
    int failures = 0;
    int64_t next = clock.nowMs();
    for (int n = 0; options.count == 0 || n < options.count; ++n) {
        while (clock.nowMs() < next && !stopped())
            clock.sleepMs(std::min<int64_t>(100, next - clock.nowMs()));
        if (stopped()) break;
        next = clock.nowMs() + options.intervalSeconds * 1000;
        const bool ok = protocol.ReadSingleReading(target);
        const Readings r = bus.state().snapshot().readings;
        const LogReading reading{r.serialNumber, r.temperature, r.axisA, r.axisB,
                                 setup.label,    r.unitsLabel,  "",      SystemLocalTime()};
        io.out << PrintedLine(reading) << std::endl;
        if (log.isOpen() && !log.writeLine(FormatLogLine(reading, true)))
            return Fail(io, "cannot write to the log file " + options.logFile);
        failures = ok ? 0 : failures + 1;
        if (failures >= kFailuresInARow)
            return Fail(io, OnDevice("the board stopped answering", bus.portPath()));
    }
    log.close();
    return kExitOk;
}

}  // namespace clinora::cli
