// The worker when things go wrong: a silent line, a request aimed at every
// board, an exception in a pass, a stop in the middle of a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

int Lines(const WorkerRig& rig, const std::string& text) {
    const auto lines = rig.bus.receivedLines();
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const sim::ReceivedLine& l) { return l.text == text; }));
}

// Stopping the trigger on a line that stays silent: four more tries, then
// back to monitoring (it used to ask every 50 ms for ever).
TEST(WorkerFaults, AFailingStopTriggerGivesUpThroughStateZero) {
    WorkerRig rig;
    rig.monitor();
    rig.bus.setReplyOverride(0, "TR 0", {});
    rig.pass();
    rig.bus.clearReceivedLines();
    ASSERT_TRUE(rig.request(kTriggerOffRequest, {}));
    ASSERT_TRUE(rig.runUntilState(kStateIdleReset, 60000));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateStopTrigger, kStateIdleReset}));
    EXPECT_EQ(Lines(rig, "@@65535 TR 0"), 5);
}

// Boards that fall silent while the worker sets their units: the page hears
// that no board answers, and after three tries the port is opened afresh.
TEST(WorkerFaults, SilentBoardsWhileSettingUnitsAreReportedAndThePortReopened) {
    WorkerRig rig;
    rig.monitor();
    rig.bus.setDropRate(1.0);
    rig.pass();
    rig.bus.clearReceivedLines();
    const size_t statuses = rig.page->portStatuses().size();
    ASSERT_TRUE(rig.request(kStopRequest, {}));
    ASSERT_TRUE(rig.runUntilState(kStateOpen, 60000));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateIdleReset,
                                           kStateUnitsAndTrigger, kStateOpen}));
    const auto after = rig.page->portStatuses();
    EXPECT_EQ(std::count(after.begin() + static_cast<long>(statuses), after.end(),
                         static_cast<int>(kPortBoardNotFound)),
              3);
    EXPECT_EQ(Lines(rig, "@@65535 RU 2"), 3);
}

// An exception thrown while a pass runs (here by the page the event goes to)
// does not end the worker: it starts over from state 0 and reads again.
TEST(WorkerFaults, AnExceptionInAPassStartsTheWorkerOver) {
    WorkerRig rig;
    rig.monitor();
    bool thrown = false;
    rig.page->onPost = [&](int message, int code, int) {
        if (message == kWorkerEventMessage && code == kEventSingleReading && !thrown) {
            thrown = true;
            throw std::runtime_error("page gone wrong");
        }
    };
    rig.trail.assign(1, rig.current());
    EXPECT_NO_THROW(rig.runUntil([&] { return thrown; }));
    EXPECT_EQ(rig.current(), kStateIdleReset);
    ASSERT_TRUE(rig.runUntilEvent(kEventSingleReading));
    EXPECT_EQ(rig.current(), kStateSingleReading);
}

// The broadcast address reaches every board: no upload, verify or address
// change goes to it; each request ends in its final failure without a line.
TEST(WorkerFaults, TheBroadcastAddressIsNeverATarget) {
    const struct {
        uint32_t code;
        std::vector<std::string> addresses;
        int writeTarget;  // an index, or the board count for all
        std::string target, newAddress;
        Events events;
    } cases[] = {
        {kWriteCalibrationRequest,
         {"101", "65535"},
         2,
         "101",
         "",
         {{kEventBoardWritten, kEventBoardWritten}, {kEventUploadFailed, kEventUploadFailed}}},
        {kVerifyCalibrationRequest,
         {"65535"},
         0,
         "101",
         "",
         {{kEventBoardVerified, kEventBoardVerified}, {kEventVerifyFailed, kEventVerifyFailed}}},
        {kBiaxialWriteRequest,
         {"65535"},
         0,
         "101",
         "",
         {{kEventBiaxialWrite, kEventBiaxialWrite}, {kEventUploadFailed, kEventUploadFailed}}},
        {kAddressChangeRequest, {"101"}, 0, "65535", "120", {{kEventAddressChangeGaveUp, 0}}},
        {kAddressChangeRequest, {"101"}, 0, "101", "65535", {{kEventAddressChangeGaveUp, 0}}},
    };
    for (const auto& c : cases) {
        WorkerRig rig;
        rig.monitor();
        rig.state.locked([&](SharedData& d) {
            d.currentAddresses = c.addresses;
            d.worker.boardCount = static_cast<int>(c.addresses.size());
            d.worker.writeTarget = c.writeTarget;
        });
        rig.pass();
        rig.bus.clearReceivedLines();
        RequestRecord record;
        record.targetAddress = c.target;
        record.newAddress = c.newAddress;
        ASSERT_TRUE(rig.request(c.code, record));
        ASSERT_TRUE(rig.runUntilState(kStateSingleReading)) << c.code;
        EXPECT_EQ(rig.page->codes(rig.mark), c.events) << c.code;
        // Back to monitoring through state 0, with its lines only.
        for (const auto& line : rig.bus.receivedLines())
            EXPECT_TRUE(line.text == "@@65535 RU 2" || line.text == "@@65535 TR") << line.text;
    }
}

// Virtual time that lets a test act each time the code under test waits.
struct WatchedClock final : Clock {
    VirtualClock time{1000};
    std::function<void()> onSleep;
    int64_t nowMs() const override { return time.nowMs(); }
    void sleepMs(int64_t ms) override {
        if (onSleep) onSleep();
        time.sleepMs(ms);
    }
};

// A stop that comes while a line goes out lets that line end whole, then
// nothing more is sent and the worker ends at once.
TEST(WorkerFaults, AStopInTheMiddleOfALineLetsTheLineEndAndNothingFollow) {
    WatchedClock clock;
    sim::SimBus bus{clock};
    bus.addBoard(sim::VariedBoard("101", 1));
    SerialPort port{bus};
    SharedState state{port};
    state.locked([](SharedData& d) {
        d.worker.usbPortFound = d.worker.started = true;
        d.currentAddresses = {"101"};
        d.worker.boardCount = d.worker.writeTarget = 1;
    });
    Worker worker{state, clock};
    while (state.snapshot().worker.state != kStateSingleReading) worker.pass();
    RequestRecord record;
    record.targetAddress = "101";
    ASSERT_TRUE(PostRequest(state, record, kWriteCalibrationRequest));
    // In the middle of the first word the upload writes (after its copy).
    clock.onSleep = [&] {
        if (bus.partialLine().rfind("@@101 WM 7", 0) == 0)
            state.locked([](SharedData& d) { d.worker.stop = true; });
    };
    while (!worker.ended()) worker.pass();
    EXPECT_EQ(bus.partialLine(), "");
    const auto lines = bus.receivedLines();
    EXPECT_EQ(lines.back().text, "@@101 WM 70 4 0 0 0 0");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const sim::ReceivedLine& l) {
                                return l.text.find(" WM ") != std::string::npos;
                            }),
              1);
    // The rest of the line (its bytes 10 ms apart) and at most a short pause.
    EXPECT_LT(clock.nowMs() - lines.back().byteTimesMs.front(), 250 + 240);
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace clinora::test
