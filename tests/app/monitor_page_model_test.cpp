#include "app/monitor_page_model.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "walk_model_rig.h"

namespace clinora {
namespace {

using testing::RecordingServices;

// The Monitor page model on its own: shared state without a worker, a
// working folder for the log, recorded dialogs and requests.
class MonitorModel : public ::testing::Test {
protected:
    MonitorModel() {
        files.workingFolder = folder.path();
        copies.logFileName = "log.csv";
        state.locked([](SharedData& d) {
            d.worker.started = true;
            d.readings.serialNumber = "ZC-000001";
            d.settings.monitorUnitsUser = 1;
        });
    }
    MonitorPageModel& model() {
        if (!model_) {
            model_ = std::make_unique<MonitorPageModel>(
                MonitorEnvironment{state, nullptr, copies, files, services, [this] { return port; },
                                   logAtStart, [] { return LocalDateTime{2026, 3, 4, 5, 6, 7}; }});
        }
        return *model_;
    }
    // A board answers and is read at `nowMs`: the connect flow's events.
    void connectAndRead(int64_t nowMs, const std::string& a = "10.000") {
        setReading(a);
        model().onWorkerEvent(kEventPortOpen, 1, nowMs);
        model().onWorkerEvent(kEventAddressQuery, 1, nowMs);
        model().onWorkerEvent(kEventSingleReading, 1, nowMs);
    }
    void setReading(const std::string& a) {
        state.locked([&](SharedData& d) {
            d.readings.axisA = a;
            d.readings.axisB = "-4.000";
            d.readings.temperature = "21.50 \u00B0C";
        });
    }
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        const std::string bytes = folder.exists("log.csv") ? folder.read("log.csv") : "";
        for (size_t from = 0, to; (to = bytes.find("\r\n", from)) != std::string::npos;
             from = to + 2)
            lines.push_back(bytes.substr(from, to - from));
        return lines;
    }

    testing::TempFolder folder;
    VirtualClock clock;
    sim::SimBus bus{clock};
    SerialPort serial{bus};
    SharedState state{serial};
    PageCopies copies;
    AppFiles files;
    RecordingServices services;
    int port = 0;  // the adapter search's answer
    int logAtStart = 0;
    std::unique_ptr<MonitorPageModel> model_;
};

TEST_F(MonitorModel, FirstDisplayAndActivationByModeAndAdapter) {
    struct Case {
        bool calibration;
        int degreesFlag;
        int adapter;
        std::vector<std::string> entries;
        int entry;
        std::string label;
        int readingType;
        Shade port;
    };
    const Case cases[] = {
        {false, 1, 0, {"Sine", "Degrees"}, 1, "Deg", kReadingCalibrated, Shade::PaleYellow},
        {false, 0, 0, {"Sine", "Degrees"}, 0, "Sin", kReadingCalibrated, Shade::PaleYellow},
        {false, 7, -1, {"Sine", "Degrees"}, 0, " ", kReadingCalibrated, Shade::Red},
        {true, 1, 0, {"Cal", "Volts", "Bits"}, 1, "V", kReadingVolts, Shade::PaleYellow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label + " " + std::to_string(c.adapter));
        state.locked([&](SharedData& d) {
            d.settings.calibrationMode = c.calibration;
            d.settings.monitorUnitsUser = c.degreesFlag;
            d.worker.state = kStateHeartbeat;  // not waiting to open: the page asks
            d.worker.comPortNumber = 9;
        });
        port = c.adapter;
        services.shown.clear();
        services.requests.clear();
        model_.reset();
        model().activate();
        const MonitorView& v = model().view();
        EXPECT_EQ(v.unitEntries, c.entries);
        EXPECT_EQ(v.unitSelection, c.entry);
        EXPECT_EQ(v.unitsLabel, c.label);
        EXPECT_EQ(v.port.colour, c.port);
        EXPECT_EQ(v.tilt, "--.--");
        EXPECT_EQ(v.deviceSn, "--");
        EXPECT_EQ(v.logFile, folder.path() + "log.csv");
        EXPECT_EQ(state.snapshot().settings.monitorUnits, c.readingType);
        EXPECT_EQ(services.codes(), std::vector<uint32_t>{kConnectRequest});
        EXPECT_EQ(state.snapshot().worker.comPortNumber, c.adapter < 0 ? 0 : c.adapter);
        EXPECT_EQ(services.texts("message").size(), c.adapter < 0 ? 1u : 0u);
    }
}

TEST_F(MonitorModel, ConnectFlowStalenessAndLeaving) {
    model().activate();
    struct Step {
        int code, detail;
        std::string message;
        Shade port, status;
        bool start;
    };
    const Step steps[] = {
        {kEventPortOpen, 1, "Port open", Shade::PaleYellow, Shade::Red, false},
        {kEventAddressQuery, 1, "Device found", Shade::Green, Shade::Red, false},
        {kEventSingleReading, 1, kIdentityText, Shade::Green, Shade::Green, true},
        {kEventSingleReading, 0, NoAnswerText(""), Shade::Green, Shade::PaleYellow, false},
    };
    setReading("10.000");
    for (const Step& s : steps) {
        SCOPED_TRACE(s.message);
        model().onWorkerEvent(s.code, s.detail, 0);
        EXPECT_EQ(model().view().statusMessage, s.message);
        EXPECT_EQ(model().view().port.colour, s.port);
        EXPECT_EQ(model().view().status.colour, s.status);
        EXPECT_EQ(model().view().startEnabled, s.start);
    }
    // The first reading asked for the board's identity.
    EXPECT_EQ(services.codes().back(), kDeviceInfoRequest);

    // A reading older than the worker's cycle leaves the screen.
    model().onWorkerEvent(kEventSingleReading, 1, 1000);
    EXPECT_EQ(model().view().tilt, "10.000");
    model().checkFreshness(1000 + MonitorLink::kFreshMs);
    EXPECT_EQ(model().view().tilt, "10.000");
    model().checkFreshness(1001 + MonitorLink::kFreshMs);
    EXPECT_EQ(model().view().tilt, "--.--");
    EXPECT_EQ(model().view().status.meaning, "no new reading");

    // Leaving keeps the unit choice and the interval, and stops the worker.
    model().chooseUnit(0);
    model().deactivate("15s");
    EXPECT_EQ(copies.logInterval, 15);
    EXPECT_EQ(state.snapshot().settings.monitorUnitsUser, 0);
    EXPECT_EQ(services.codes().back(), kStopRequest);
    EXPECT_FALSE(model().view().startEnabled);
}

// Logging from the first reading: no rows before a reading is on screen, then
// one per interval, with dashes while the reading is stale.
TEST_F(MonitorModel, LogRowsStartWithTheFirstReadingAndKeepDashesWhenStale) {
    logAtStart = 2;
    model().activate();
    EXPECT_FALSE(model().leaveQuestion());
    connectAndRead(0);
    ASSERT_TRUE(model().logging());
    EXPECT_EQ(model().view().logTimerMs, 2000);
    EXPECT_EQ(model().view().interval, "2");
    EXPECT_EQ(model().leaveQuestion(), "Leaving stops logging. Leave?");
    // The identity is read, then the board is read afresh: no reading on screen.
    state.locked([](SharedData& d) { d.readings.serialNumber = "ZC-000001"; });
    model().onWorkerEvent(kEventDeviceInfo, 1, 500);
    EXPECT_EQ(model().view().tilt, "--.--");
    model().logTimerFired(2000);
    EXPECT_EQ(logLines().size(), 1u);  // the header only
    model().onPortStatus(kPortIdle);
    setReading("10.500");
    model().onWorkerEvent(kEventSingleReading, 1, 3000);
    model().logTimerFired(4000);
    model().logTimerFired(8000);  // stale by now
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], kReadingLogHeader);
    EXPECT_EQ(lines[1], "ZC-000001,04/03/2026 05:06:07,21.50 \xB0" "C,\xB0" "C,10.500,Deg,-4.000,Deg,");
    EXPECT_EQ(lines[2], "ZC-000001,04/03/2026 05:06:07,--,\xB0" "C,--.--,Deg,--.--,Deg,");
    model().startStop("2");
    EXPECT_FALSE(model().logging());
    EXPECT_FALSE(model().leaveQuestion());
}

// Resets the file size limit after a test that lowered it.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        rlimit lower = saved;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    rlimit saved{};
};

// A log line the file system cannot take (here: beyond the file size limit)
// is said on the page and in a box, logging stops, and the lines written
// before stay whole.
TEST_F(MonitorModel, ALogThatCannotTakeALineStopsLoggingAndSaysWhy) {
    model().activate();
    connectAndRead(0);
    model().startStop("2");
    model().logTimerFired(1000);
    ASSERT_EQ(logLines().size(), 2u);
    const std::string before = folder.read("log.csv");
    {
        const FileSizeLimit limit(before.size() + 10);
        model().onWorkerEvent(kEventSingleReading, 1, 1500);
        model().logTimerFired(2000);
    }
    const std::string text =
        "Cannot write the log file " + folder.path() + "log.csv: File too large";
    EXPECT_FALSE(model().logging());
    EXPECT_EQ(model().view().startText, "Start");
    EXPECT_EQ(model().view().logFile, text);
    EXPECT_TRUE(model().view().logFailed);
    EXPECT_EQ(services.texts("message"), std::vector<std::string>{text});
    EXPECT_EQ(folder.read("log.csv"), before);
}

}  // namespace
}  // namespace clinora
