// Connecting, monitoring and the request hand-shake.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

TEST(WorkerConnect, StartOpensQueriesSetsUpAndReadsAboutEveryHalfSecond) {
    WorkerRig rig;
    // Results are in place when the event that announces them is posted.
    std::vector<std::string> textsAtEvent;
    rig.page->onPost = [&](int message, int code, int) {
        if (message == kWorkerEventMessage && code == kEventSingleReading) {
            textsAtEvent.push_back(rig.state.snapshot().readings.axisA);
        }
    };
    rig.monitor();
    rig.runFor(5000);

    EXPECT_EQ(rig.trail, (std::vector<int>{kStateOpen, kStateAddressQuery, kStateIdleReset,
                                           kStateUnitsAndTrigger, kStateSingleReading}));
    const Events all = rig.page->codes();
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(Events(all.begin(), all.begin() + 4), (Events{{kEventPortOpen, 0},
                                                            {kEventPortOpen, 1},
                                                            {kEventAddressQuery, 1},
                                                            {kEventSingleReading, 1}}));
    EXPECT_EQ(rig.host->codes(),
              (Events{{kEventPortOpen, 0}, {kEventPortOpen, 1}, {kEventUnitsAndTrigger, 1}}));
    EXPECT_EQ(rig.page->portStatuses(), (std::vector<int>{kPortOpened, kPortIdle}));

    std::vector<int64_t> readings;
    for (const auto& e : rig.page->all()) {
        if (e.message == kWorkerEventMessage && e.first == kEventSingleReading) {
            EXPECT_EQ(e.second, 1);
            readings.push_back(e.atMs);
        }
    }
    ASSERT_GE(readings.size(), 6u);
    for (size_t i = 1; i < readings.size(); ++i) {
        EXPECT_GE(readings[i] - readings[i - 1], 500);
        EXPECT_LE(readings[i] - readings[i - 1], 800);
    }

    // Degrees from the sine reading, the board's temperature in Celsius.
    const Readings r = rig.state.snapshot().readings;
    EXPECT_NEAR(std::stod(r.axisA), 10.0, 0.2);
    EXPECT_NEAR(std::stod(r.axisB), 0.0, 0.2);
    EXPECT_TRUE(r.temperature.ends_with(" \u00B0C")) << r.temperature;
    EXPECT_NEAR(std::stod(r.temperature), 25.0, 0.5);
    ASSERT_FALSE(textsAtEvent.empty());
    for (const auto& text : textsAtEvent) EXPECT_NE(text, "--.--");

    // A bare line end first (it ends a line another program left half sent),
    // then units and trigger mode on the broadcast address.
    std::vector<std::string> lines;
    for (const auto& l : rig.bus.receivedLines()) lines.push_back(l.text);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin(), lines.begin() + 5),
        (std::vector<std::string>{"", "@@65535 DA", "@@65535 RU 2", "@@65535 TR", "@@65535 SR"}));
    EXPECT_TRUE(rig.state.snapshot().worker.linkOk);
}

TEST(WorkerConnect, BoardsAt9600MakeTheWorkerToggleAndSettleThereWithoutUnits) {
    WorkerRig rig;
    rig.bus.setBoardBaud(9600);
    rig.monitor();
    rig.runFor(3000);

    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateOpen, kStateAddressQuery, kStateOpen, kStateAddressQuery,
                                kStateIdleReset, kStateUnitsAndTrigger, kStateSingleReading}));
    const SharedData d = rig.state.snapshot();
    EXPECT_EQ(d.worker.baudRate, 9600);
    EXPECT_EQ(d.worker.lastOpenedBaud, 9600);
    EXPECT_EQ(rig.bus.status().hostBaud, 9600);
    const Events folded = Folded(rig.page->codes());
    EXPECT_EQ(Events(folded.begin(), folded.begin() + 6), (Events{{kEventPortOpen, 0},
                                                                  {kEventPortOpen, 1},
                                                                  {kEventAddressQuery, 0},
                                                                  {kEventPortOpen, 0},
                                                                  {kEventPortOpen, 1},
                                                                  {kEventAddressQuery, 1}}));
    for (const auto& l : rig.bus.receivedLines()) EXPECT_EQ(l.text.find("RU"), std::string::npos);
    EXPECT_EQ(d.readings.axisA.find('-'), std::string::npos);
}

TEST(WorkerConnect, WithoutAPortSelectedNothingIsOpened) {
    WorkerRig rig;
    rig.state.locked([](SharedData& d) { d.worker.usbPortFound = false; });
    rig.runFor(10000);

    EXPECT_EQ(rig.trail, (std::vector<int>{kStateOpen}));
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(rig.bus.status().portOpen);
    const Events events = rig.page->codes();
    EXPECT_GE(events.size(), 10u);
    for (const auto& e : events) EXPECT_EQ(e, (std::pair<int, int>{kEventPortOpen, 0}));
    EXPECT_EQ(rig.host->codes(), events);
    // Every pass but the first reports the missing port.
    EXPECT_EQ(rig.page->portStatuses(), std::vector<int>(events.size() - 1, kPortNotSelected));
}

TEST(WorkerConnect, ABoardLostWhileMonitoringMakesTheWorkerReconnect) {
    WorkerRig rig;
    rig.monitor();
    rig.bus.setReplyOverride(0, "SR", {});
    const size_t from = rig.page->size();
    rig.trail.assign(1, kStateSingleReading);
    ASSERT_TRUE(rig.runUntilState(kStateOpen));
    const Events lost = Folded(rig.page->codes(from));
    EXPECT_EQ(lost, (Events{{kEventSingleReading, 0}}));
    EXPECT_EQ(rig.page->codes(from).size(), 23u);  // three failures, ten passes apart
    EXPECT_EQ(rig.state.snapshot().readings.axisA, "----");

    rig.bus.clearOverrides();
    ASSERT_TRUE(rig.runUntilState(kStateSingleReading));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateOpen, kStateAddressQuery,
                                kStateIdleReset, kStateUnitsAndTrigger, kStateSingleReading}));
}

TEST(WorkerHandShake, ARequestBeforeStartChangesNothing) {
    WorkerRig rig;
    rig.state.locked([](SharedData& d) { d.worker.started = false; });
    RequestRecord record;
    record.targetAddress = "101";
    EXPECT_FALSE(PostRequest(rig.state, record, kDeviceInfoRequest));
    EXPECT_FALSE(PostConnectRequest(rig.state, 4, true));
    WorkerRequest typed;
    typed.code = kWriteCalibrationRequest;
    typed.record = record;
    const int target = rig.state.snapshot().worker.writeTarget;
    typed.writeTarget = target + 1;
    EXPECT_FALSE(SubmitRequest(rig.state, typed));
    const SharedData d = rig.state.snapshot();
    EXPECT_FALSE(d.worker.requestPending);
    EXPECT_EQ(d.worker.lastRequestCode, 0u);
    EXPECT_EQ(d.worker.writeTarget, target);
    EXPECT_EQ(d.request.targetAddress, "");
}

// A typed request refused while another is pending leaves the request in
// force alone: its board count, write target, constants, units and axis.
TEST(WorkerHandShake, ARefusedTypedRequestChangesNothingOfTheOneInForce) {
    WorkerRig rig;
    rig.monitor();
    RequestRecord record;
    record.targetAddress = "102";
    ASSERT_TRUE(PostRequest(rig.state, record, kDeviceInfoRequest));
    const SharedData before = rig.state.snapshot();
    WorkerRequest typed;
    typed.code = kVerifyCalibrationRequest;
    typed.record.targetAddress = "103";
    typed.boardCount = 3;
    typed.writeTarget = 3;
    typed.devices.emplace();
    (*typed.devices)[1].a[1] = 0.5;
    typed.monitorUnits = 0;
    typed.axisSelector = 0;
    EXPECT_FALSE(SubmitRequest(rig.state, typed));
    const SharedData d = rig.state.snapshot();
    EXPECT_EQ(d.worker.requestCode, kDeviceInfoRequest);
    EXPECT_EQ(d.worker.lastRequestCode, kVerifyCalibrationRequest);
    EXPECT_EQ(d.worker.boardCount, before.worker.boardCount);
    EXPECT_EQ(d.worker.writeTarget, before.worker.writeTarget);
    EXPECT_EQ(d.devices[1].a[1], before.devices[1].a[1]);
    EXPECT_EQ(d.settings.axisSelector, before.settings.axisSelector);
    EXPECT_EQ(d.settings.monitorUnits, before.settings.monitorUnits);
    EXPECT_EQ(d.request.targetAddress, "102");
}

TEST(WorkerHandShake, ARefusedRequestStillReplacesTheRecordTheFirstRequestRunsWith) {
    WorkerRig rig;
    rig.monitor();
    RequestRecord first, second;
    first.targetAddress = "999";  // no such board
    second.targetAddress = "101";
    EXPECT_TRUE(PostRequest(rig.state, first, kReadSensorSettingsRequest));
    EXPECT_FALSE(PostRequest(rig.state, second, kDeviceInfoRequest));
    SharedData d = rig.state.snapshot();
    EXPECT_TRUE(d.worker.requestPending);
    EXPECT_EQ(d.worker.requestCode, kReadSensorSettingsRequest);
    EXPECT_EQ(d.worker.lastRequestCode, kDeviceInfoRequest);
    EXPECT_EQ(d.request.targetAddress, "101");

    // The settings are read from the second caller's board.
    rig.trail.assign(1, kStateSingleReading);
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateSensorReadProbe,
                                           kStateReadSensorSettings, kStateHeartbeat}));
    EXPECT_FALSE(rig.state.snapshot().worker.requestPending);

    // Reconnect keeps the record in force.
    EXPECT_TRUE(PostConnectRequest(rig.state, 7, true));
    d = rig.state.snapshot();
    EXPECT_EQ(d.worker.requestCode, kConnectRequest);
    EXPECT_EQ(d.worker.comPortNumber, 7);
    EXPECT_EQ(d.request.targetAddress, "101");
    EXPECT_FALSE(PostConnectRequest(rig.state, 8, true));
    EXPECT_EQ(rig.state.snapshot().worker.comPortNumber, 8);
}

TEST(WorkerHandShake, TheStopFlagClosesThePortAndEndsWithTheRequestStillPending) {
    WorkerRig rig;
    rig.monitor();
    ASSERT_TRUE(PostRequest(rig.state, {}, kStopRequest));
    rig.state.locked([](SharedData& d) { d.worker.stop = true; });
    rig.pass();
    EXPECT_TRUE(rig.worker.ended());
    EXPECT_EQ(rig.current(), kStateEnd);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_TRUE(rig.state.snapshot().worker.requestPending);
    const size_t before = rig.page->size();
    rig.pass();
    EXPECT_EQ(rig.page->size(), before);
}

TEST(WorkerEvents, NothingIsPostedWithoutALivePageButTheWaitStays) {
    WorkerRig rig;
    rig.state.locked([](SharedData& d) {
        d.worker.currentPage.reset();
        d.worker.usbPortFound = false;
    });
    rig.host.reset();  // the page host is gone
    const int64_t t0 = rig.clock.nowMs();
    rig.pass();
    rig.pass();
    // Two passes of state 1: port status and event 1 each cost 50 ms.
    EXPECT_EQ(rig.clock.nowMs() - t0, 550 + 600);
    EXPECT_EQ(rig.page->size(), 0u);
}

TEST(WorkerThreadStart, StartsOnceClearsTheUsbFlagForDeviceChoiceZeroAndStops) {
    VirtualClock clock;
    sim::SimBus bus{clock};
    SerialPort port{bus};
    SharedState state{port};
    auto page = std::make_shared<EventRecorder>(clock);
    state.locked([](SharedData& d) { d.worker.usbPortFound = true; });
    {
        WorkerThread thread(clock);
        StartWorker(state, thread, page, 0);
        EXPECT_TRUE(thread.running());
        auto other = std::make_shared<EventRecorder>(clock);
        StartWorker(state, thread, other, 1);  // already started: nothing changes
        const SharedData d = state.snapshot();
        EXPECT_TRUE(d.worker.started);
        EXPECT_FALSE(d.worker.usbPortFound);
        EXPECT_EQ(d.worker.currentPage.lock(), page);
        // The thread runs on its own; wait (briefly, for real) for its first event.
        for (int i = 0; i < 5000 && page->size() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const SharedData d = state.snapshot();
    EXPECT_EQ(d.worker.state, kStateEnd);
    EXPECT_GE(page->codes().size(), 1u);
    EXPECT_EQ(page->codes().front(), (std::pair<int, int>{kEventPortOpen, 0}));
}

}  // namespace
}  // namespace clinora::test
