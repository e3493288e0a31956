// Address change, address reset, identity and settings requests.
#include <gtest/gtest.h>

#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

// The request's events without heartbeats and monitoring.
Events RequestEvents(const WorkerRig& rig) {
    Events out;
    for (const auto& e : rig.page->codes(rig.mark)) {
        if (e.first != 13 && e.first != 28) out.push_back(e);
    }
    return out;
}

TEST(WorkerSetup, AddressChangeGivesAFactoryBoardItsAddressAndType) {
    WorkerRig rig{{"65534"}};
    rig.monitor();
    rig.pass();
    RequestRecord record;
    record.targetAddress = "65534";
    record.newAddress = "205";
    record.typeLetters = {'E', 'M'};
    ASSERT_TRUE(rig.request(kAddressChangeRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateAddressChangeProbe,
                                kStateNewAddressProbe, kStateChangeAddress, kStateWriteTypeCode,
                                kStateHeartbeat}));
    EXPECT_EQ(RequestEvents(rig),
              (Events{{kEventAddressChangeAttempt, 1}, {kEventAddressChanged, 0}}));
    EXPECT_EQ(rig.bus.status().addresses, std::vector<int>{205});
    const auto type = rig.bus.inspectBoard(0, [](const sim::SimBoard& b) {
        return std::make_pair(b.memory().get(1), b.memory().get(2));
    });
    EXPECT_EQ(type, std::make_pair(uint8_t{'E'}, uint8_t{'M'}));
    EXPECT_EQ(rig.state.snapshot().request.targetAddress, "205");
}

TEST(WorkerSetup, AddressChangeGivesUpWhenNoBoardAnswers) {
    WorkerRig rig;
    rig.monitor();
    rig.pass();
    RequestRecord record;
    record.targetAddress = "65534";
    record.newAddress = "205";
    ASSERT_TRUE(rig.request(kAddressChangeRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateSingleReading));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateAddressChangeProbe, kStateIdleReset,
                                kStateUnitsAndTrigger, kStateSingleReading}));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventAddressChangeGaveUp, 0}}));
    int probes = 0;
    // One probe step, which asks up to three times.
    for (const auto& l : rig.bus.receivedLines()) probes += l.text == "@@65534 ";
    EXPECT_EQ(probes, 3);
}

// Two boards at one address would answer every command at once: only the
// probes go out, and both boards keep their addresses.
TEST(WorkerSetup, AnAddressAnotherBoardAnswersToIsRefusedWithOnlyTheProbesSent) {
    for (const bool collisions : {false, true}) {
        WorkerRig rig{{"101", "102", "103"}};
        rig.monitor();
        rig.pass();
        rig.bus.setCollisions(collisions);
        rig.bus.clearReceivedLines();
        RequestRecord record;
        record.targetAddress = "103";
        record.newAddress = "102";
        ASSERT_TRUE(rig.request(kAddressChangeRequest, record));
        ASSERT_TRUE(rig.runUntilState(kStateSingleReading));
        EXPECT_EQ(RequestEvents(rig), (Events{{kEventAddressInUse, 102}})) << collisions;
        std::vector<std::string> sent;
        for (const auto& l : rig.bus.receivedLines()) {
            if (l.text.find(" SR") == std::string::npos && l.text.find(" RU") == std::string::npos &&
                l.text.find(" TR") == std::string::npos)
                sent.push_back(l.text);
        }
        // The board at 103 is found, then one probe at 102 is enough.
        EXPECT_EQ(sent, (std::vector<std::string>{"@@103 ", "@@102 "})) << collisions;
        EXPECT_EQ(rig.bus.status().addresses, (std::vector<int>{101, 102, 103}));
    }
}

// A board that never hears the password: every attempt is counted in an
// event, and the change ends at the limit with the worker back to monitoring.
TEST(WorkerSetup, AnAddressChangeTheBoardNeverTakesEndsAtTheAttemptLimit) {
    WorkerRig rig{{"65534"}};
    rig.monitor();
    rig.pass();
    const std::string password = std::string("@@65534 PSW ") + kBusPassword;
    rig.page->onPost = [&](int message, int code, int) {
        if (message == kWorkerEventMessage && code == kEventAddressChangeAttempt)
            rig.bus.mishearNextLine(password, "@@65534 PSW");
    };
    RequestRecord record;
    record.targetAddress = "65534";
    record.newAddress = "104";
    ASSERT_TRUE(rig.request(kAddressChangeRequest, record));
    const int64_t start = rig.clock.nowMs();
    ASSERT_TRUE(rig.runUntilEvent(kEventAddressChangeGaveUp));
    const int64_t took = rig.clock.nowMs() - start;
    Events expected;
    for (int i = 1; i <= kAddressChangeAttempts; ++i)
        expected.emplace_back(kEventAddressChangeAttempt, i);
    expected.emplace_back(kEventAddressChangeGaveUp, kAddressChangeAttempts);
    EXPECT_EQ(RequestEvents(rig), expected);
    // Five to eight seconds an attempt: the change (longer when refused), a
    // look at the new address, the pause before the next.
    EXPECT_GT(took, kAddressChangeAttempts * 5000);
    EXPECT_LT(took, kAddressChangeAttempts * 8000);
    ASSERT_TRUE(rig.runUntilState(kStateSingleReading));
    EXPECT_EQ(rig.bus.status().addresses, std::vector<int>{65534});
}

// The board took its address but the echo was lost: the look at the new
// address finds it, and nothing is sent to the old address again.
TEST(WorkerSetup, AnAddressTakenWithItsEchoLostCountsAsTaken) {
    WorkerRig rig{{"65534"}};
    rig.monitor();
    rig.pass();
    rig.bus.mishearNextLine("@@65534 DA 104 104", "@@65534 DA 104 104", false);
    RequestRecord record;
    record.targetAddress = "65534";
    record.newAddress = "104";
    ASSERT_TRUE(rig.request(kAddressChangeRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(RequestEvents(rig),
              (Events{{kEventAddressChangeAttempt, 1}, {kEventAddressChanged, 0}}));
    EXPECT_EQ(rig.bus.status().addresses, std::vector<int>{104});
}

TEST(WorkerSetup, ResetAddressesGoesOutBeforeTheNextStepThenBackThroughStateZero) {
    WorkerRig rig{{"101", "102"}};
    rig.monitor();
    rig.pass();
    const int previousDetail = rig.page->codes().back().second;
    rig.bus.clearReceivedLines();
    ASSERT_TRUE(rig.request(kResetAddressesRequest, {}));
    ASSERT_TRUE(rig.runUntilState(kStateSingleReading));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateIdleReset,
                                           kStateUnitsAndTrigger, kStateSingleReading}));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventAddressesReset, previousDetail}}));
    const auto lines = rig.bus.receivedLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "@@65535 AR 60317 60317");
    EXPECT_EQ(lines[1].text, "@@65535 SR");  // the current state's one more pass
    EXPECT_EQ(lines[2].text, "@@65535 RU 2");
    EXPECT_EQ(rig.bus.status().addresses, (std::vector<int>{65534, 65534}));
}

TEST(WorkerSetup, AProbeThatFailsBeforeAWriteEndsItWithEvent112) {
    WorkerRig rig;
    rig.monitor();
    rig.pass();
    RequestRecord record;
    record.targetAddress = "999";
    ASSERT_TRUE(rig.request(kWriteCalibrationRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateIdleReset));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateWriteProbe, kStateIdleReset}));
    EXPECT_EQ(Folded(RequestEvents(rig)), (Events{{kEventBoardWritten, kEventBoardWritten},
                                                  {kEventWriteProbe, kEventWriteProbe},
                                                  {kEventNoBoard, kEventNoBoard}}));
    // One probe; the request ends soon after its 2000 ms time-out.
    const auto lines = rig.bus.receivedLines();
    ASSERT_EQ(lines.back().text, "@@999 ");
    int64_t ended = 0;
    for (const auto& e : rig.page->all()) {
        if (e.message == kWorkerEventMessage && e.first == kEventNoBoard) ended = e.atMs;
    }
    const int64_t afterTimeout = ended - (lines.back().byteTimesMs.back() + 200 + 2000);
    EXPECT_GT(afterTimeout, 300);
    EXPECT_LT(afterTimeout, 1000);
}

TEST(WorkerSetup, DeviceInfoFillsTheIdentity) {
    WorkerRig rig;
    rig.monitor();
    rig.pass();
    ASSERT_TRUE(rig.request(kDeviceInfoRequest, {}));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventDeviceInfo, 1}}));
    const Readings r = rig.state.snapshot().readings;
    EXPECT_EQ(r.serialNumber,
              rig.bus.inspectBoard(0, [](const sim::SimBoard& b) { return b.config().serial; }));
    EXPECT_FLOAT_EQ(r.firmwareVersion, 1.5f);
}

TEST(WorkerSetup, SensorSettingsAndAxisFlagsAreWrittenToEveryBoardAndReadBack) {
    WorkerRig rig{{"101", "102"}};
    rig.state.locked([](SharedData& d) { d.settings.setTypeToAll = true; });
    rig.monitor();
    rig.pass();
    RequestRecord record;
    record.targetAddress = "101";
    record.sensorSettings = {3, 4, 5};
    record.axisFlags = {1, 0, 1};
    ASSERT_TRUE(rig.request(kWriteSensorSettingsRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateSensorWriteProbe,
                                           kStateWriteSensorSettings, kStateHeartbeat}));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventSettingsWritten, 2}}));

    rig.pass();
    ASSERT_TRUE(rig.request(kWriteAxisFlagsRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventFlagsWritten, 2}}));
    for (size_t board = 0; board < 2; ++board) {
        const auto cells = rig.bus.inspectBoard(board, [](const sim::SimBoard& b) {
            return std::vector<int>{b.memory().get(0x41), b.memory().get(0x42),
                                    b.memory().get(0x43), b.memory().get(0x49),
                                    b.memory().get(0x4A), b.memory().get(0x4B)};
        });
        EXPECT_EQ(cells, (std::vector<int>{3, 4, 5, 1, 0, 1})) << board;
    }

    rig.state.locked([](SharedData& d) {
        d.readings.sensorSettings = {};
        d.readings.axisFlags = {};
    });
    rig.pass();
    record.targetAddress = "102";
    ASSERT_TRUE(rig.request(kReadSensorSettingsRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    rig.pass();
    ASSERT_TRUE(rig.request(kReadAxisFlagsRequest, record));
    ASSERT_TRUE(rig.runUntilState(kStateHeartbeat));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateHeartbeat, kStateFlagsReadProbe,
                                           kStateReadAxisFlags, kStateHeartbeat}));
    EXPECT_EQ(RequestEvents(rig), (Events{{kEventFlagsRead, 2}}));  // the index the writes reached
    const Readings r = rig.state.snapshot().readings;
    EXPECT_EQ(r.sensorSettings, (std::array<uint8_t, 3>{3, 4, 5}));
    EXPECT_EQ(r.axisFlags, (std::array<uint8_t, 3>{1, 0, 1}));
}

}  // namespace
}  // namespace clinora::test
