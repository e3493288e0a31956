// Initialising a calibration set, then triggering and reading every board.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "worker_rig.h"

namespace clinora::test {
namespace {

using Events = std::vector<std::pair<int, int>>;

class WorkerInit : public ::testing::Test {
protected:
    WorkerRig rig{{"101", "102", "103", "104"}};
    RequestRecord record;

    void SetUp() override {
        record.targetAddress = "101";
        record.boardList = {"101", "102", "103", "104"};
        rig.monitor();
    }
    void init() { ASSERT_TRUE(rig.request(kInitRequest, record)); }

    // Times of the events with `code` and `detail` from the request on.
    std::vector<int64_t> times(int code, int detail) {
        std::vector<int64_t> out;
        const auto all = rig.page->all();
        for (size_t i = rig.mark; i < all.size(); ++i) {
            if (all[i].message == kWorkerEventMessage && all[i].first == code &&
                all[i].second == detail) {
                out.push_back(all[i].atMs);
            }
        }
        return out;
    }
};

TEST_F(WorkerInit, InitialisesEachBoardThenTriggersSettlesAndReads) {
    init();
    ASSERT_TRUE(rig.runUntil([&] { return times(31, 3).size() >= 2; }));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateSingleReading, kStateBoardInit, kStateTrigger,
                                           kStateBoardReading, kStateTrigger, kStateBoardReading,
                                           kStateTrigger}));

    Events shape;
    for (const auto& e : rig.page->codes(rig.mark)) {
        if (e.first == 23 || e.first == 30 || e.first == 31) shape.push_back(e);
    }
    const Events cycle{{kEventBoardTriggered, 0}, {kEventBoardTriggered, 1},
                       {kEventBoardTriggered, 2}, {kEventBoardTriggered, 3},
                       {kEventBoardRead, 0},      {kEventBoardRead, 1},
                       {kEventBoardRead, 2},      {kEventBoardRead, 3}};
    Events expected{{kEventBoardInitialised, 0},
                    {kEventBoardInitialised, 1},
                    {kEventBoardInitialised, 2},
                    {kEventBoardInitialised, 3}};
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(shape, expected);

    // 1500 ms settle pause for four boards between the end of the last
    // trigger (its event and the 50 ms after it) and the first read's command.
    const int64_t lastTrigger = times(30, 3).back();
    int64_t firstRead = 0;
    for (const auto& l : rig.bus.receivedLines()) {
        if (l.text == "@@101 SR" && l.byteTimesMs.front() > lastTrigger) {
            firstRead = l.byteTimesMs.front();
            break;
        }
    }
    EXPECT_EQ(firstRead - lastTrigger, 50 + 1500);

    // Every board's reading is in its slot.
    const Readings r = rig.state.snapshot().readings;
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(r.boards[i].a, 0.1736, 0.01) << i;  // sine of 10 degrees
        EXPECT_NEAR(r.boards[i].temperature, 25.0, 0.5) << i;
    }
}

TEST_F(WorkerInit, ContinuousReadingOnlyReads) {
    rig.state.locked([](SharedData& d) { d.settings.continuousReadOn = true; });
    init();
    ASSERT_TRUE(rig.runUntil([&] { return times(31, 0).size() >= 3; }));
    EXPECT_EQ(rig.trail,
              (std::vector<int>{kStateSingleReading, kStateBoardInit, kStateBoardReading}));
    for (const auto& e : rig.page->codes(rig.mark)) EXPECT_NE(e.first, 30);
    bool continuous = false;
    for (const auto& l : rig.bus.receivedLines()) continuous |= l.text == "@@65535 TR 1";
    EXPECT_TRUE(continuous);
}

TEST_F(WorkerInit, ABoardThatStopsAnsweringGivesEvents35) {
    rig.state.locked([](SharedData& d) { d.settings.continuousReadOn = true; });
    init();
    ASSERT_TRUE(rig.runUntil([&] { return times(31, 3).size() >= 1; }));
    rig.bus.setReplyOverride(2, "SR", {});
    ASSERT_TRUE(rig.runUntil([&] { return times(35, 2).size() >= 3; }));
    // The fifth failure in a row is the first to be reported, then every one.
    const auto reads = times(31, 1);
    const auto failures = times(35, 2);
    int srBeforeFirstReport = 0;
    for (const auto& l : rig.bus.receivedLines()) {
        if (l.text == "@@103 SR" && l.byteTimesMs.front() > reads.back() &&
            l.byteTimesMs.front() < failures.front()) {
            ++srBeforeFirstReport;
        }
    }
    EXPECT_EQ(srBeforeFirstReport, 5);
    EXPECT_EQ(rig.current(), kStateBoardReading);
    EXPECT_EQ(rig.state.snapshot().readings.boards[2].temperature, 0.0);
}

TEST_F(WorkerInit, FourTriggerFailuresInARowStartANewInitialisation) {
    init();
    ASSERT_TRUE(rig.runUntil([&] { return times(31, 3).size() >= 1; }));
    rig.bus.clearReceivedLines();
    rig.bus.setReplyOverride(2, "TR", {});
    rig.trail.assign(1, rig.current());
    ASSERT_TRUE(rig.runUntilState(kStateBoardInit));
    EXPECT_EQ(rig.trail, (std::vector<int>{kStateTrigger, kStateBoardInit}));
    int triggers = 0;
    for (const auto& l : rig.bus.receivedLines()) triggers += l.text == "@@103 TR";
    EXPECT_EQ(triggers, 4);
}

// Each board tells its identity as it is initialised, before the event that
// announces it; a board silent to the firmware question is asked nothing
// more, one silent to a later question keeps what it told.
TEST_F(WorkerInit, EachBoardsIdentityIsReadBeforeItsInitialisedEvent) {
    rig.bus.setReplyOverride(1, "SN", {});
    rig.bus.setReplyOverride(3, "F", {});
    std::vector<BoardInfo> atEvent;
    rig.page->onPost = [&](int message, int code, int detail) {
        if (message == kWorkerEventMessage && code == kEventBoardInitialised)
            atEvent.push_back(rig.state.snapshot().readings.boardInfo[detail]);
    };
    init();
    ASSERT_TRUE(rig.runUntil([&] { return atEvent.size() >= 4; }));
    rig.page->onPost = nullptr;
    const auto serial = [&](size_t board) {
        return rig.bus.inspectBoard(board, [](const sim::SimBoard& b) { return b.config().serial; });
    };
    const std::vector<BoardInfo> expected = {{"101", serial(0), 1.5f, 2.0f},
                                             {"102", std::nullopt, 1.5f, 2.0f},
                                             {"103", serial(2), 1.5f, 2.0f},
                                             {"104", std::nullopt, std::nullopt, std::nullopt}};
    EXPECT_EQ(atEvent, expected);
    int asked = 0;
    for (const auto& l : rig.bus.receivedLines())
        asked += l.text == "@@104 SN" || l.text == "@@104 BR";
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace clinora::test
